# What every script shares: the number of jobs, the version, configuring a
# build folder once, and Wine. Sourced, not run: by .ci/setup.sh (and so by
# play.sh, test.sh, package.sh, windows.sh, web.sh and the rest of .ci/) and
# by release.sh.
#
#   torvek_jobs                     jobs for a build or a test run: one a core
#   torvek_version                  the version, from the top CMakeLists.txt
#   torvek_configure_once DIR COMMAND...
#                                   runs COMMAND, which configures DIR,
#                                   unless DIR is configured already
#   torvek_wine                     Wine's 64-bit loader
#   torvek_wine_start PREFIX / torvek_wine_stop
#                                   a warm Wine for many programs in a row

TORVEK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

torvek_jobs() {
    nproc 2>/dev/null || echo 2
}

# The version is kept in the top CMakeLists.txt alone.
torvek_version() {
    sed -n 's/^project(torvek VERSION \([0-9][0-9.]*\)[ )].*/\1/p' "$TORVEK_ROOT/CMakeLists.txt"
}

# Once configured, a folder is only built: CMake configures it again by
# itself when a CMakeLists.txt changes.
torvek_configure_once() {
    local dir=$1
    shift
    [ -f "$dir/CMakeCache.txt" ] || "$@"
}

# ---------------------------------------------------------------- Wine

# Debian's `wine` wrapper warns on every start that 32-bit Wine is missing.
torvek_wine() {
    if [ -x /usr/lib/wine/wine64 ]; then
        echo /usr/lib/wine/wine64
    else
        command -v wine64 || command -v wine
    fi
}

# Starts Wine in the prefix named (made the first time, in about 10 s) and
# keeps its server and services running until torvek_wine_stop (or a minute
# after the last program ended), and exports WINEPREFIX (and WINEDEBUG=-all
# unless it is set): each program started there afterwards takes hundredths
# of a second, not about 3 s. Their output goes to a log in the prefix:
# services that inherit a test's output keep ctest waiting for it to close.
# A Windows build folder's own prefix is build-windows/wine (the toolchain
# file's default).
torvek_wine_start() {
    export WINEPREFIX=$1
    export WINEDEBUG=${WINEDEBUG:--all}
    mkdir -p "$WINEPREFIX"
    wineserver -p 60 </dev/null >>"$WINEPREFIX/torvek-wine.log" 2>&1
    "$(torvek_wine)" wineboot </dev/null >>"$WINEPREFIX/torvek-wine.log" 2>&1
}

torvek_wine_stop() {
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
}
