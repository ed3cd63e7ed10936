# The web build and its checks in a browser: sourced, not run, by web.sh and
# test.sh (after .ci/setup.sh, whose installing functions it uses, and
# .ci/deps.sh, which builds SDL2 and SDL2_image for the web).
#
#   torvek_web_build        builds build-web/ and lays the page out in
#                           build-web/page/, zipped into
#                           build/torvek-<version>-web.zip
#   torvek_web_serve DIR [PORT]
#                           serves DIR on 127.0.0.1 (in the foreground)
#   torvek_web_check        installs what is missing, builds, and runs every
#                           check of the page in headless Chromium; its
#                           output goes to build-web/web-check.log
#
# The page is plain files: any static web server will do.

if ! declare -F torvek_deps_web >/dev/null; then
    # shellcheck source=deps.sh
    source "$(dirname "${BASH_SOURCE[0]}")/deps.sh"
fi

TORVEK_WEB_DIR=build-web
TORVEK_WEB_PAGE=$TORVEK_WEB_DIR/page
# The page's own files, beside the program's torvek.js, .wasm and .data;
# and its service worker, which the build tells the release and the files.
TORVEK_WEB_SOURCES=(dist/web/index.html dist/web/page.css dist/web/page.js dist/web/torvek.webmanifest)
TORVEK_WEB_WORKER=dist/web/sw.js

# The licences of what the page is made of: TORVEK's, SDL2's and
# SDL2_image's, and those of the stb_image and miniz that SDL2_image bundles,
# cut from their sources.
torvek_web_licences() {
    local image_source
    image_source=$(torvek_deps_source_dir libsdl2-image)
    echo "TORVEK"
    echo
    cat LICENSE
    echo
    echo "------------------------------------------------------------------------------"
    echo "SDL2 $TORVEK_SDL2_VERSION"
    echo
    cat "$TORVEK_WEB_PREFIX/share/licenses/SDL2/LICENSE.txt"
    echo
    echo "------------------------------------------------------------------------------"
    echo "SDL2_image $TORVEK_SDL2_IMAGE_VERSION"
    echo
    cat "$TORVEK_WEB_PREFIX/share/licenses/SDL2_image/LICENSE.txt"
    echo
    echo "------------------------------------------------------------------------------"
    echo "stb_image, as bundled with SDL2_image"
    echo
    sed -n '/^This software is available under 2 licenses/,/^\*\//p' "$image_source/stb_image.h" | sed '$d'
    echo
    echo "------------------------------------------------------------------------------"
    echo "miniz, as bundled with SDL2_image"
    echo
    sed -n '/^  This is free and unencumbered software/,/^\*\//p' "$image_source/miniz.h" | sed '$d' | sed 's/^  //'
    echo
    echo "------------------------------------------------------------------------------"
    cat dist/licences/nlohmann-json.txt
}

# The service worker with this release and every other file of the page.
torvek_web_worker() {
    local files
    files=$(cd "$TORVEK_WEB_PAGE" && LC_ALL=C ls | grep -vx sw.js | sed 's/.*/"&"/' | paste -sd, -)
    sed -e "s/@VERSION@/$(torvek_version)/" -e "s/@FILES@/[${files//,/, }]/" "$TORVEK_WEB_WORKER"
}

torvek_web_build() {
    torvek_deps_install web || return 1
    # The art tool of a build for this machine paints the page's pictures.
    torvek_install_packages || return 1
    torvek_configure || return 1
    torvek_build --target torvek_art || return 1
    torvek_deps_web || return 1
    torvek_configure_once "$TORVEK_WEB_DIR" \
        emcmake cmake -S . -B "$TORVEK_WEB_DIR" "${TORVEK_WEB_CMAKE_ARGS[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DTORVEK_HOST_ART_TOOL="$PWD/$TORVEK_BUILD_DIR/tools/torvek_art" || return 1
    cmake --build "$TORVEK_WEB_DIR" -j "$(torvek_jobs)" --target torvek || return 1

    rm -rf "$TORVEK_WEB_PAGE"
    mkdir -p "$TORVEK_WEB_PAGE"
    cp "${TORVEK_WEB_SOURCES[@]}" "$TORVEK_WEB_DIR"/torvek.{js,wasm,data} "$TORVEK_WEB_PAGE/" || return 1
    cp "$TORVEK_WEB_DIR/Icons/64x64/torvek.png" "$TORVEK_WEB_PAGE/icon.png" || return 1
    cp "$TORVEK_WEB_DIR/Icons/192x192/torvek.png" "$TORVEK_WEB_PAGE/icon-192.png" || return 1
    cp "$TORVEK_WEB_DIR/Icons/512x512/torvek.png" "$TORVEK_WEB_PAGE/icon-512.png" || return 1
    torvek_web_licences >"$TORVEK_WEB_PAGE/LICENSES.txt" || return 1
    torvek_web_worker >"$TORVEK_WEB_PAGE/sw.js" || return 1

    local zip
    zip=$PWD/$TORVEK_BUILD_DIR/torvek-$(torvek_version)-web.zip
    rm -f "$zip"
    (cd "$TORVEK_WEB_PAGE" && zip -q -X -r "$zip" .) || return 1
    echo "web: the page is in $TORVEK_WEB_PAGE/, zipped into ${zip#"$PWD"/}"
}

# A free TCP port on 127.0.0.1, from the kernel.
torvek_web_free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

torvek_web_serve() {
    local dir=$1 port=${2:-}
    [ -n "$port" ] || port=$(torvek_web_free_port)
    echo "TORVEK is served at http://127.0.0.1:$port/ (Ctrl+C stops)"
    exec python3 -m http.server --bind 127.0.0.1 --directory "$dir" "$port"
}

torvek_web_check() {
    local log=$TORVEK_WEB_DIR/web-check.log start=$SECONDS
    mkdir -p "$TORVEK_WEB_DIR"
    echo "web: building the page and checking it in headless Chromium (log: $log)"
    # The native program tells the page's error text to expect; the relay
    # serves the page for online play with a headless desktop program.
    if ! { torvek_deps_install web web-tests && torvek_install_packages python3 && torvek_web_build &&
           torvek_build --target torvek torvek-relay torvek_online_player &&
           python3 tests/web/page_check.py "$TORVEK_WEB_PAGE" "$TORVEK_BUILD_DIR/torvek" \
               "$TORVEK_BUILD_DIR/server/torvek-relay" "$TORVEK_BUILD_DIR/tests/torvek_online_player"; } >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "web: the page's checks failed; the whole log is $log" >&2
        return 1
    fi
    grep '^check:' "$log" || true
    echo "web: every check of the page passed in $((SECONDS - start)) s"
}
