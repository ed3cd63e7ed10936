#!/usr/bin/env bash
# The Windows figures of BENCHMARKS.md: the sizes of the release files, and
# under Wine in Xvfb (1280x1024, openbox) the time from start to the first
# picture, the frame rate and the CPU share at rest on the title screen and
# while an announcement rises over a match, with the renderer the game picks
# on Windows (Direct3D, here through Wine's OpenGL on Mesa's software
# rasteriser) and with SDL's software renderer; then the Linux program's
# under the same Xvfb, with the tools of bench/.
#
#   tests/windows/measure.sh [RUNS] [SECONDS]      (default: 10 runs, 20 s)
#
# Needs the Windows build (./windows.sh, then
# cmake --build build-windows --target torvek_pace) and builds the Linux
# program's measuring tools in build-bench/.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
here=$root/tests/windows
TORVEK_CHECK_NAME="windows measure"
# shellcheck source=lib.sh
source "$here/lib.sh"
runs=${1:-10}
seconds=${2:-20}
build=$root/build-windows
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
release=$build/windows-release/torvek-$version-win64
pace=$build/tests/torvek_pace.exe
[ -x "$pace" ] || check_failed "no $pace: cmake --build build-windows --target torvek_pace"

echo "== machine"
grep -m1 'model name' /proc/cpuinfo
echo "cores: $(nproc); load: $(cut -d' ' -f1-3 /proc/loadavg); $("$TORVEK_WINE" --version)"

echo "== sizes (bytes)"
for file in "$build/torvek-$version-win64.zip" "$build/torvek-$version-setup.exe" "$release/torvek.exe"; do
    echo "$(stat -c %s "$file") ${file#"$root/"}"
done
echo "DLLs beside torvek.exe: $(find "$release" -iname '*.dll' | wc -l)"
echo "DLLs torvek.exe imports: $(x86_64-w64-mingw32-objdump -p "$release/torvek.exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')"

export WINEPREFIX=$build/wine
trap stop_all EXIT
start_display
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
cd "$build"

# Milliseconds from the start of the Windows program to its first picture.
first_picture_ms() {
    local started picture
    started=$(date +%s%N)
    picture=$("$TORVEK_WINE" "$pace" --first-picture | tr -d '\r' | sed -n 's/^first picture: //p')
    echo $(((picture - started) / 1000000))
}

# Median, minimum and maximum of the numbers on standard input.
spread() {
    sort -n | awk '{ v[NR] = $1 } END { printf "median %d ms, min %d, max %d (%d runs)\n", v[int((NR + 1) / 2)], v[1], v[NR], NR }'
}

for renderer in default software; do
    if [ "$renderer" = software ]; then
        export SDL_RENDER_DRIVER=software
    else
        unset SDL_RENDER_DRIVER
    fi
    echo "== Wine, $renderer renderer: start to first picture"
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    echo "cold (Wine's own start first): $(first_picture_ms) ms"
    # The server the cold start started, for its own share below.
    server=$(pgrep -n wineserver64 || pgrep -n wineserver)
    for _ in $(seq "$runs"); do
        first_picture_ms
        sleep 0.5
    done | spread
    echo "== Wine, $renderer renderer: $seconds s on the title, then $seconds s of a match with an announcement rising"
    # The game's process, beside Wine's server and the X server.
    server_before=$(awk '{ print $14 + $15 }' "/proc/$server/stat")
    "$TORVEK_WINE" "$pace" --seconds "$seconds" --rising | tr -d '\r' | grep -v '^first picture'
    server_after=$(awk '{ print $14 + $15 }' "/proc/$server/stat")
    echo "wineserver meanwhile: $(((server_after - server_before) * 1000 / $(getconf CLK_TCK))) ms of CPU in $((2 * seconds + 5)) s"
done
unset SDL_RENDER_DRIVER
wineserver -k 2>/dev/null || true

echo "== Linux, under the same Xvfb"
cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build-bench" -j2 --target torvek torvek_measure torvek_rising >/dev/null
"$root/build-bench/bench/torvek_measure" startup --runs "$runs" "$root/build-bench/torvek" | tail -3
"$root/build-bench/bench/torvek_measure" pacing --seconds "$seconds" --match "$root/build-bench/bench/torvek_rising"
