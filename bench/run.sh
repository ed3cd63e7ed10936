#!/usr/bin/env bash
# Builds the benchmarks in an optimised build folder and runs every
# measurement of BENCHMARKS.md: frame cost beside bare SDL and heap
# allocations, the program's own code per frame, start-up time and peak
# memory headless, and, when Xvfb and xdotool are installed, start-up, frame
# rate and CPU share under an X server of its own; with openbox also frame
# rate and CPU share fullscreen on 1920x1080 and 3840x2160 screens.
#
#   bench/run.sh [BUILD_FOLDER]      (default: build-bench)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-bench}"
repetitions="${TORVEK_BENCH_REPETITIONS:-5}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" -j2 --target torvek torvek_bench torvek_layer_bench torvek_measure torvek_rising

echo "== machine"
grep -m1 'model name' /proc/cpuinfo
echo "cores: $(nproc); load: $(cut -d' ' -f1-3 /proc/loadavg)"

# On a busy machine the program's runs and its baseline's drift apart unless
# they are interleaved on one core.
pin=()
if command -v taskset > /dev/null && [ "$(nproc)" -gt 1 ]; then
    pin=(taskset -c 1)
fi
echo "== frame cost and allocations (median of $repetitions runs, interleaved)"
"${pin[@]}" "$build/bench/torvek_bench" --benchmark_filter='^frame/' \
    --benchmark_repetitions="$repetitions" --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true 2>&1 |
    grep -E 'Benchmark|_median|ERROR'

echo "== the program's own code per frame, SDL stubbed (median of $repetitions runs)"
"$build/bench/torvek_layer_bench" --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true 2>&1 | grep -E 'Benchmark|_median|ERROR'

echo "== start-up, headless"
SDL_VIDEODRIVER=dummy "$build/bench/torvek_measure" startup --runs 20 "$build/torvek" | tail -3

if ! command -v Xvfb > /dev/null || ! command -v xdotool > /dev/null; then
    echo "== Xvfb or xdotool missing: no measurements under X"
    exit 0
fi
# Starts Xvfb with a screen of the given size on a free display, and openbox
# on it when asked (without a window manager SDL's desktop fullscreen does
# not take effect on X11); sets `display`.
servers=()
trap 'kill "${servers[@]}" 2> /dev/null || true' EXIT
start_x() {
    display=99
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 "$1x24" > /dev/null 2>&1 &
    servers+=($!)
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.1
    done
    if [ "${2:-}" = wm ]; then
        DISPLAY=":$display" openbox > /dev/null 2>&1 &
        servers+=($!)
        sleep 1
    fi
}

start_x 1280x1024
echo "== start-up, under Xvfb"
DISPLAY=":$display" "$build/bench/torvek_measure" startup --runs 20 "$build/torvek" | tail -3
echo "== frame rate and CPU share under Xvfb (20 s each)"
DISPLAY=":$display" "$build/bench/torvek_measure" pacing --seconds 20 --match "$build/torvek"

if ! command -v openbox > /dev/null; then
    echo "== openbox missing: no fullscreen measurements"
    exit 0
fi
for screen in 1920x1080 3840x2160; do
    start_x "$screen" wm
    echo "== fullscreen on a $screen screen: an announcement rising in every frame (20 s each)"
    DISPLAY=":$display" "$build/bench/torvek_measure" pacing --seconds 20 --match \
        "$build/bench/torvek_rising" --fullscreen
    echo "== the same, every frame drawn in full"
    DISPLAY=":$display" "$build/bench/torvek_measure" pacing --seconds 20 --match \
        "$build/bench/torvek_rising" --redraw-every-frame --fullscreen
    echo "== fullscreen on a $screen screen: the title and a match at rest"
    DISPLAY=":$display" "$build/bench/torvek_measure" pacing --seconds 20 --match \
        "$build/torvek" --fullscreen
done
