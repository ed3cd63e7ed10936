#!/usr/bin/env bash
# Installs what is missing, builds build/torvek when something changed and
# starts the game; arguments are passed on to it.
set -euo pipefail
cd "$(dirname "$0")"
source .ci/setup.sh

torvek_install_packages
torvek_configure
torvek_build --target torvek
exec "$TORVEK_BUILD_DIR/torvek" "$@"
