#!/usr/bin/env bash
# The relay with its rooms in Redis against the relay on its own, side by
# side in one run at one load: ROOMS rooms (default 1000) of relay_load
# moving at RATE moves a second (default 2000) for SECONDS_RUN seconds
# (default 10), three times:
#   memory     one torvek-relay keeping its rooms in memory
#   redis      one torvek-relay with --redis
#   2 relays   two with --redis, every room's host on one and guest on the other
# Redis runs with dist/relay/redis.conf (append-only file, fsync each
# second) on a free port, its files in a temporary folder; its memory a room
# is read from INFO before the rooms and after the moves. Builds in
# build-bench/ (or TORVEK_BENCH_BUILD) like run.sh.
#
#   bench/relay/shared.sh              RATE=5000 ROOMS=1000 bench/relay/shared.sh
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${TORVEK_BENCH_BUILD:-$root/build-bench}"
rooms="${ROOMS:-1000}"
rate="${RATE:-2000}"
seconds="${SECONDS_RUN:-10}"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVEK_BENCH=ON > /dev/null
cmake --build "$build" -j2 --target torvek-relay relay_load
ulimit -n 65536 2> /dev/null || ulimit -n "$(ulimit -Hn)"

echo "== machine"
grep -m1 'model name' /proc/cpuinfo
echo "cores: $(nproc); load: $(cut -d' ' -f1-3 /proc/loadavg)"
# The servers share core 0, the load has core 1, where there are two.
pin_server=() pin_load=()
if command -v taskset > /dev/null && [ "$(nproc)" -gt 1 ]; then
    pin_server=(taskset -c 0) pin_load=(taskset -c 1)
fi

folder=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
    wait 2> /dev/null || true
    rm -rf "$folder"
}
trap cleanup EXIT

redis_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"${pin_server[@]}" redis-server "$root/dist/relay/redis.conf" --port "$redis_port" --dir "$folder" \
    --logfile "$folder/redis.log" --pidfile "$folder/redis.pid" &
redis_pid=$!
pids+=("$redis_pid")
for _ in $(seq 50); do redis-cli -p "$redis_port" ping > /dev/null 2>&1 && break; sleep 0.1; done
redis_memory() { redis-cli -p "$redis_port" info memory | sed -n 's/^used_memory:\([0-9]*\).*/\1/p'; }

# Starts a relay with the options given; sets relay_port and relay_pid.
start_relay() {
    local out="$folder/relay$RANDOM.out"
    "${pin_server[@]}" "$build/server/torvek-relay" --listen 127.0.0.1:0 "$@" > "$out" 2>&1 &
    relay_pid=$!
    pids+=("$relay_pid")
    for _ in $(seq 50); do
        grep -q 'relaying on' "$out" && { [ $# -eq 0 ] || grep -q 'rooms are in Redis' "$out"; } && break
        sleep 0.1
    done
    relay_port=$(sed -n 's|.*ws://127.0.0.1:\([0-9]*\)/.*|\1|p' "$out")
}

run() {
    local name=$1
    shift
    echo "== $name: $rooms rooms, $rate moves a second for $seconds s"
    "${pin_load[@]}" "$build/bench-relay/relay_load" --rooms "$rooms" --rate "$rate" --seconds "$seconds" "$@"
}

start_relay
run memory --port "$relay_port" --relay-pid "$relay_pid"
kill -TERM "$relay_pid"

redis-cli -p "$redis_port" flushall > /dev/null
before=$(redis_memory)
start_relay --redis "127.0.0.1:$redis_port"
run redis --port "$relay_port" --relay-pid "$relay_pid" --redis-pid "$redis_pid"
after=$(redis_memory)
echo "redis memory: $(( (after - before) / rooms )) bytes a room ($(redis-cli -p "$redis_port" dbsize) keys)"
kill -TERM "$relay_pid"

redis-cli -p "$redis_port" flushall > /dev/null
start_relay --redis "127.0.0.1:$redis_port"
first_port=$relay_port first_pid=$relay_pid
start_relay --redis "127.0.0.1:$redis_port"
run "2 relays" --port "$first_port" --guest-port "$relay_port" --relay-pid "$first_pid" --relay-pid "$relay_pid" \
    --redis-pid "$redis_pid"
