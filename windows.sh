#!/usr/bin/env bash
# Installs what is missing, cross-builds TORVEK for 64-bit Windows with
# Debian's mingw-w64 in build-windows/ (SDL2 and SDL2_image built once from
# Debian's sources into a cache, .ci/deps.sh) and leaves
# build/torvek-<version>-win64.zip and build/torvek-<version>-setup.exe.
set -euo pipefail
cd "$(dirname "$0")"
source .ci/setup.sh
source .ci/windows.sh

torvek_deps_install windows
torvek_deps_windows
torvek_windows_build torvek
torvek_windows_packages
