#!/usr/bin/env bash
# Builds the benchmarks in an optimised build folder and runs every
# measurement of BENCHMARKS.md: frame cost beside bare SDL and heap
# allocations, the program's own code per frame, start-up time and peak
# memory headless, and, when Xvfb and xdotool are installed, start-up, frame
# rate and CPU share under an X server of its own.
#
#   bench/run.sh [BUILD_FOLDER]      (default: build-bench)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-bench}"
repetitions="${TORVEK_BENCH_REPETITIONS:-5}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" -j2 --target torvek torvek_bench torvek_layer_bench torvek_measure

echo "== machine"
grep -m1 'model name' /proc/cpuinfo
echo "cores: $(nproc); load: $(cut -d' ' -f1-3 /proc/loadavg)"

echo "== frame cost and allocations (median of $repetitions runs)"
"$build/bench/torvek_bench" --benchmark_filter='^frame/' \
    --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true 2>&1 |
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
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 > /dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2> /dev/null || true' EXIT
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
done

echo "== start-up, under Xvfb"
DISPLAY=":$display" "$build/bench/torvek_measure" startup --runs 20 "$build/torvek" | tail -3
echo "== frame rate and CPU share under Xvfb (20 s each)"
DISPLAY=":$display" "$build/bench/torvek_measure" pacing --seconds 20 --match "$build/torvek"
