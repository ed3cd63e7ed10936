#!/usr/bin/env bash
# Installs what is missing, builds TORVEK for the web browser in build-web/
# and leaves the page, ready for any static web server, in build-web/page/
# and zipped as build/torvek-<version>-web.zip.
#   ./web.sh            build
#   ./web.sh --serve    build, then serve the page on 127.0.0.1 and print its address
set -euo pipefail
cd "$(dirname "$0")"
source .ci/setup.sh
source .ci/deps.sh
source .ci/web.sh

serve=false
case "${1:-}" in
    "") ;;
    --serve) serve=true ;;
    *) echo "usage: ./web.sh [--serve]" >&2; exit 2 ;;
esac

torvek_web_build
if $serve; then
    torvek_install_packages python3
    torvek_web_serve "$TORVEK_WEB_PAGE"
fi
