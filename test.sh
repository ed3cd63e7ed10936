#!/usr/bin/env bash
# Installs what is missing, builds everything in build/ and runs every test;
# exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"
source .ci/setup.sh

torvek_install_packages
torvek_configure
torvek_build

# Every test runs headless in its own process.
(cd "$TORVEK_BUILD_DIR" && ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)")
