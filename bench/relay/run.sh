#!/usr/bin/env bash
# Measures torvek-relay under load on loopback: for each number of rooms
# given (default 1000), a fresh relay and relay_load's rooms of two clients,
# each room from an address of its own in 127.1.0.0/16, moving at a total of
# RATE moves a second (default 10000) for SECONDS_RUN seconds (default 10).
# Builds both in build-bench/ (RelWithDebInfo), like bench/run.sh.
#
#   bench/relay/run.sh [ROOMS...]        e.g. bench/relay/run.sh 1000 5000 10000
#   RATE=5000 SECONDS_RUN=20 bench/relay/run.sh 1000
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${TORVEK_BENCH_BUILD:-$root/build-bench}"
rate="${RATE:-10000}"
seconds="${SECONDS_RUN:-10}"
[ $# -gt 0 ] || set -- 1000

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" -j2 --target torvek-relay relay_load

# Two descriptors a room in each process, and some to spare; where the hard
# limit is lower (a container), as many as it allows.
ulimit -n 65536 2> /dev/null || ulimit -n "$(ulimit -Hn)"

echo "== machine"
grep -m1 'model name' /proc/cpuinfo
echo "cores: $(nproc); load: $(cut -d' ' -f1-3 /proc/loadavg)"

# The relay and the load each on a core of its own, where there are two.
pin_relay=() pin_load=()
if command -v taskset > /dev/null && [ "$(nproc)" -gt 1 ]; then
    pin_relay=(taskset -c 0) pin_load=(taskset -c 1)
fi

relay_pid=
trap '[ -z "$relay_pid" ] || kill "$relay_pid" 2> /dev/null || true' EXIT
for rooms in "$@"; do
    echo "== $rooms rooms, $rate moves a second for $seconds s"
    out=$(mktemp)
    "${pin_relay[@]}" "$build/server/torvek-relay" --listen 127.0.0.1:0 > "$out" &
    relay_pid=$!
    for _ in $(seq 50); do
        grep -q 'relaying on' "$out" && break
        sleep 0.1
    done
    port=$(sed -n 's|.*ws://127.0.0.1:\([0-9]*\)/.*|\1|p' "$out")
    rm -f "$out"
    status=0
    "${pin_load[@]}" "$build/bench-relay/relay_load" --port "$port" --rooms "$rooms" --rate "$rate" --seconds "$seconds" \
        --relay-pid "$relay_pid" || status=$?
    kill -TERM "$relay_pid"
    wait "$relay_pid" || status=$?
    relay_pid=
    [ "$status" -eq 0 ] || { echo "relay_load or the relay failed ($status)" >&2; exit "$status"; }
done
