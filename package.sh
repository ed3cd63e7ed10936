#!/usr/bin/env bash
# Installs what is missing, builds the Debian packages from a Release build in
# build-package/ and leaves them in build/: the game's as
# torvek_<version>_amd64.deb and the relay's as torvek-relay_<version>_amd64.deb
# (with the web page of build-web/page/ when web.sh has built it, or the one
# named in TORVEK_RELAY_PAGE; empty: none).
set -euo pipefail
cd "$(dirname "$0")"
source .ci/setup.sh

torvek_install_packages dpkg-dev
torvek_package
