# The Windows build and its checks. Sourced, not run, after or without
# .ci/setup.sh and .ci/deps.sh (loaded here when missing).
#
#   torvek_windows_build [TARGET...]  the cross build in build-windows/, its
#                        data painted by a native art tool built in
#                        build-windows/host/ (all targets by default)
#   torvek_windows_packages          the zip and the installer, also copied
#                                    into build/
#   torvek_windows_can_check         whether this machine has, or on Debian
#                                    can install, mingw-w64 and Wine
#   torvek_windows_check             builds everything and runs every
#                                    Windows check; logs in build-windows/
#
# The cross build is a Release build: its tests check the very code that
# ships, and windows_packages strips the program.

if ! declare -F torvek_deps_windows >/dev/null; then
    # shellcheck source=deps.sh
    source "$(dirname "${BASH_SOURCE[0]}")/deps.sh"
fi

TORVEK_WINDOWS_DIR=build-windows
# openbox: the game's window gets the focus, and xdotool's keys with it.
TORVEK_WINDOWS_CHECK_PACKAGES=(openbox)

# The native art tool in build-windows/host/ (a build of its own, so that
# nothing here waits for build/ or disturbs it); sets TORVEK_WINDOWS_ART_TOOL.
torvek_windows_art_tool() {
    local host=$TORVEK_WINDOWS_DIR/host
    torvek_configure_once "$host" \
        cmake -S . -B "$host" -DCMAKE_BUILD_TYPE=Release -DTORVEK_TESTS=OFF -DTORVEK_BENCH=OFF || return 1
    cmake --build "$host" -j "$(torvek_jobs)" --target torvek_art || return 1
    TORVEK_WINDOWS_ART_TOOL=$PWD/$host/tools/torvek_art
}

# Needs torvek_deps_windows first (TORVEK_WINDOWS_CMAKE_ARGS).
torvek_windows_build() {
    torvek_windows_art_tool || return 1
    cmake -S . -B "$TORVEK_WINDOWS_DIR" "${TORVEK_WINDOWS_CMAKE_ARGS[@]}" -DCMAKE_BUILD_TYPE=Release \
        -DTORVEK_HOST_ART_TOOL="$TORVEK_WINDOWS_ART_TOOL" || return 1
    local targets=()
    [ "$#" -gt 0 ] && targets=(--target "$@")
    cmake --build "$TORVEK_WINDOWS_DIR" -j "$(torvek_jobs)" "${targets[@]}"
}

# Needs torvek_windows_build first. Leaves build/torvek-<version>-win64.zip
# and build/torvek-<version>-setup.exe.
torvek_windows_packages() {
    cmake --build "$TORVEK_WINDOWS_DIR" --target windows_packages || return 1
    local version
    version=$(torvek_version)
    mkdir -p "$TORVEK_BUILD_DIR"
    cp "$TORVEK_WINDOWS_DIR/torvek-$version-win64.zip" "$TORVEK_WINDOWS_DIR/torvek-$version-setup.exe" \
        "$TORVEK_BUILD_DIR/"
    echo "windows: $TORVEK_BUILD_DIR/torvek-$version-win64.zip and $TORVEK_BUILD_DIR/torvek-$version-setup.exe"
}

# The Linux relay and player that the Windows program meets online, built
# in build/ (where test.sh has built them already).
torvek_windows_native_online() {
    torvek_configure && torvek_build --target torvek-relay torvek_online_player
}

torvek_windows_can_check() {
    if command -v x86_64-w64-mingw32-g++-posix >/dev/null && [ -x /usr/lib/wine/wine64 ]; then
        return 0
    fi
    [ -r /etc/debian_version ] && command -v apt-get >/dev/null
}

# Runs TITLE's command with its output in LOG, says how long it took and, on
# failure, shows the end of the log.
torvek_windows_step() {
    local title=$1 log=$2 start=$SECONDS status=0
    shift 2
    "$@" >"$log" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        tail -n 40 "$log" >&2
        echo "windows: $title failed after $((SECONDS - start)) s (log: $log)" >&2
        return "$status"
    fi
    echo "windows: $title passed in $((SECONDS - start)) s"
}

# The cross-built test programs under Wine, each test in its own process,
# in the build folder's own Wine prefix kept warm for them. No display: the
# programs are headless, and a crash is reported in the log, not in a
# window that waits for somebody to close it.
torvek_windows_test_programs() {
    (
        unset DISPLAY
        export WINEDLLOVERRIDES="mscoree,mshtml="
        torvek_wine_start "$PWD/$TORVEK_WINDOWS_DIR/wine" || exit 1
        trap torvek_wine_stop EXIT
        "$(torvek_wine)" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
            >/dev/null 2>&1
        cd "$TORVEK_WINDOWS_DIR" && ctest --output-on-failure --timeout 120 -j "$(torvek_jobs)"
    )
}

# Builds the Windows program, its tests, the zip and the installer, then
# checks them under Wine: the test programs that need no display, the real
# torvek.exe in a window (tests/windows/program.sh) and the installer in a
# Wine prefix of its own (tests/windows/installer.sh), the last beside the
# first two; online, the program meets the Linux relay and player of build/.
# Each part's log is in build-windows/check-*.log.
torvek_windows_check() {
    local dir=$TORVEK_WINDOWS_DIR start=$SECONDS
    torvek_deps_install windows windows-tests || return 1
    torvek_install_packages "${TORVEK_WINDOWS_CHECK_PACKAGES[@]}" || return 1
    torvek_deps_windows || return 1
    mkdir -p "$dir"
    torvek_windows_step "build" "$dir/check-build.log" \
        eval 'torvek_windows_build && torvek_windows_packages' || return 1
    torvek_windows_step "Linux relay and player" "$dir/check-native.log" torvek_windows_native_online || return 1
    local version release
    version=$(torvek_version)
    release=$dir/windows-release/torvek-$version-win64

    local installer_pid status=0
    torvek_windows_step "installer" "$dir/check-installer.log" \
        tests/windows/installer.sh "$dir/torvek-$version-setup.exe" "$release" "$dir/windows-check/installer" &
    installer_pid=$!
    torvek_windows_step "test programs" "$dir/check-tests.log" torvek_windows_test_programs || status=1
    if [ "$status" -eq 0 ]; then
        torvek_windows_step "program" "$dir/check-program.log" \
            env WINEPREFIX="$PWD/$dir/wine" tests/windows/program.sh "$release" \
            "$dir/tests/console_parent.exe" "$dir/windows-check/program" "$TORVEK_BUILD_DIR" || status=1
    fi
    wait "$installer_pid" || status=1
    [ "$status" -eq 0 ] || return 1
    echo "windows: every check passed in $((SECONDS - start)) s"
}
