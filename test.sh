#!/usr/bin/env bash
# Installs what is missing, builds everything in build/ and runs every test;
# where dpkg-deb is, builds the Debian packages (the game's and the relay's)
# into build/ and checks them;
# builds the whole suite again with the sanitizers in build-asan/ and runs it;
# where mingw-w64 and Wine, emscripten and Chromium are installed or can be
# (on Debian), cross-builds the Windows program and checks it under Wine
# (.ci/windows.sh) and builds the web page and checks it in headless Chromium
# (.ci/web.sh); and, when clang is there, fuzzes the font reader and the match
# for a bounded time. What does not wait for the rest runs beside it, its
# output in build/logs/. Exits non-zero when anything fails or reports.
set -euo pipefail
cd "$(dirname "$0")"
source .ci/setup.sh
source .ci/deps.sh
source .ci/web.sh
source .ci/windows.sh

torvek_web_can_check() {
    command -v apt-get >/dev/null 2>&1 ||
        { command -v emcc && command -v chromium && command -v chromedriver; } >/dev/null 2>&1
}

# apt is asked once, before anything runs beside it.
cross=()
torvek_windows_can_check && cross+=(windows windows-tests)
torvek_web_can_check && cross+=(web web-tests)
torvek_install_packages "${TORVEK_TEST_PACKAGES[@]}" python3 "${TORVEK_WINDOWS_CHECK_PACKAGES[@]}"
[ "${#cross[@]}" -eq 0 ] || torvek_deps_install "${cross[@]}"

has() {
    case " ${cross[*]} " in *" $1 "*) return 0 ;; esac
    return 1
}

# SDL2 and SDL2_image for Windows and for the web, from the cache or built
# into it, each beside the rest, so that each platform's checks start as soon
# as its own libraries are there.
if [ "${#cross[@]}" -gt 0 ]; then
    torvek_deps_fetch_sources
    has windows && torvek_beside deps-windows torvek_deps_windows
    has web && torvek_beside deps-web torvek_deps_web
fi

torvek_configure
torvek_build
# Every test runs headless in its own process.
(cd "$TORVEK_BUILD_DIR" && ctest --output-on-failure -j "$(torvek_jobs)")

if command -v dpkg-deb >/dev/null 2>&1; then
    torvek_package
    torvek_check_package
    torvek_check_relay_package
else
    echo "package: dpkg-deb not found (Debian package: dpkg); the Debian packages are not built"
fi

# AddressSanitizer (with LeakSanitizer) and UndefinedBehaviorSanitizer: any
# report ends the test that made it with a failure.
torvek_asan_suite() {
    torvek_configure_asan && torvek_build_asan &&
        (torvek_sanitizer_options && cd "$TORVEK_ASAN_DIR" &&
            ctest --output-on-failure -j "$(torvek_jobs)")
}

status=0
if [ "${#cross[@]}" -eq 0 ]; then
    echo "windows, web: no mingw-w64, Wine, emscripten or Chromium, and no apt to install them; not checked"
    torvek_asan_suite || status=1
else
    torvek_beside asan torvek_asan_suite
    if has windows; then
        if torvek_await deps-windows; then
            torvek_beside windows torvek_windows_check
        else
            status=1
        fi
    fi
    if has web; then
        if torvek_await deps-web; then
            torvek_web_check || status=1
        else
            status=1
        fi
    fi
    if has windows && [ -n "${TORVEK_BESIDE_PID[windows]:-}" ]; then
        torvek_await windows || status=1
        grep '^windows: ' "$TORVEK_BUILD_DIR/logs/windows.log" || true
    fi
    torvek_await asan || status=1
    grep -E 'tests passed|tests failed' "$TORVEK_BUILD_DIR/logs/asan.log" | sed 's/^/asan: /' || true
fi
[ "$status" -eq 0 ] || exit 1

if command -v clang++ >/dev/null 2>&1; then
    torvek_fuzz font 30
    torvek_fuzz match 30
    torvek_fuzz relay 30
else
    echo "fuzz: clang++ not found (Debian package: clang); fuzzing skipped"
fi
