#!/usr/bin/env bash
# Installs what is missing, builds everything in build/ and runs every test;
# where dpkg-deb is, builds the Debian package into build/ and checks it;
# cross-builds the Windows program and checks it under Wine (.ci/windows.sh);
# then builds and runs the whole suite again with the sanitizers in
# build-asan/, and, when clang is there, fuzzes the font reader and the match
# for a bounded time. Exits non-zero when anything fails or reports.
set -euo pipefail
cd "$(dirname "$0")"
source .ci/setup.sh

torvek_install_packages "${TORVEK_TEST_PACKAGES[@]}"
torvek_configure
torvek_build

# Every test runs headless in its own process.
(cd "$TORVEK_BUILD_DIR" && ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)")

# The page in headless Chromium: where apt installs emscripten and Chromium,
# or where they are installed already.
if command -v apt-get >/dev/null 2>&1 ||
    { command -v emcc && command -v chromium && command -v chromedriver; } >/dev/null 2>&1; then
    (source .ci/deps.sh && source .ci/web.sh && torvek_web_check)
else
    echo "web: emcc, chromium or chromedriver not found (Debian packages: emscripten, chromium, chromium-driver); the page is not checked"
fi

if command -v dpkg-deb >/dev/null 2>&1; then
    torvek_package
    torvek_check_package
else
    echo "package: dpkg-deb not found (Debian package: dpkg); the Debian package is not built"
fi

# The Windows program, cross-built and checked under Wine, where mingw-w64
# and Wine are installed (on Debian they are installed).
source .ci/windows.sh
if torvek_windows_can_check; then
    torvek_windows_check
else
    echo "windows: mingw-w64 or Wine not found, and this is no Debian to install them on; the Windows checks are skipped"
fi

# AddressSanitizer (with LeakSanitizer) and UndefinedBehaviorSanitizer: any
# report ends the test that made it with a failure.
torvek_configure_asan
torvek_build_asan
(torvek_sanitizer_options && cd "$TORVEK_ASAN_DIR" &&
    ctest --output-on-failure -j "$(nproc 2>/dev/null || echo 2)")

if command -v clang++ >/dev/null 2>&1; then
    torvek_fuzz font 30
    torvek_fuzz match 30
else
    echo "fuzz: clang++ not found (Debian package: clang); fuzzing skipped"
fi
