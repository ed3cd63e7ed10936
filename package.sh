#!/usr/bin/env bash
# Installs what is missing, builds the Debian package from a Release build in
# build-package/ and leaves it in build/ as torvek_<version>_amd64.deb.
set -euo pipefail
cd "$(dirname "$0")"
source .ci/setup.sh

torvek_install_packages dpkg-dev
torvek_package
