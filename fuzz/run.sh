#!/usr/bin/env bash
# Builds a fuzz target with clang in a build folder of its own and runs it for
# about SECONDS seconds (30 when not given) from its seed corpus. TARGET is
# font (the default: font description files through the reader), match
# (frames of keys and clock steps through the whole program) or relay
# (connections' messages, drops and clock steps through the relay's lobby).
# Exits non-zero on a finding (2 when clang++ is missing); the input that
# caused it is kept in the build folder's fuzz-findings/.
# Long runs: fuzz/run.sh 3600, fuzz/run.sh 3600 match, fuzz/run.sh 3600 relay
# The build folder is build-fuzz beside this one unless TORVEK_FUZZ_BUILD names
# another; extra libFuzzer flags can be given in TORVEK_FUZZ_FLAGS.
set -euo pipefail

seconds=${1:-30}
target=${2:-font}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TORVEK_FUZZ_BUILD:-$root/build-fuzz}

# Per target: its seeds, the corpus it grows in the build folder, the prefix
# of its findings and its own flags.
case "$target" in
font)
    seeds=$root/fuzz/corpus
    corpus=$build/fuzz-corpus
    findings=$build/fuzz-findings/
    # The reader's one diagnostic would flood the output: the target's
    # standard error is closed, while libFuzzer and the sanitizers still report.
    target_flags=(-max_len=4096 -close_fd_mask=2)
    ;;
match)
    seeds=$root/fuzz/match_corpus
    corpus=$build/fuzz-match-corpus
    findings=$build/fuzz-findings/match-
    # One byte a frame: a thousand frames is a few rounds at the longer steps.
    target_flags=(-max_len=1024)
    ;;
relay)
    seeds=$root/fuzz/relay_corpus
    corpus=$build/fuzz-relay-corpus
    findings=$build/fuzz-findings/relay-
    # A few dozen messages: a room made, joined, played into and left.
    target_flags=(-max_len=4096)
    ;;
*)
    echo "usage: fuzz/run.sh [SECONDS] [font|match|relay]" >&2
    exit 2
    ;;
esac

if ! command -v clang++ >/dev/null 2>&1; then
    echo "fuzz/run.sh: clang++ is needed (Debian package: clang)" >&2
    exit 2
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DTORVEK_FUZZ=ON -DTORVEK_TESTS=OFF -DTORVEK_BENCH=OFF -DTORVEK_OWN_RELAY=OFF >/dev/null
cmake --build "$build" -j2 --target "${target}_fuzz"

# New inputs go into the build folder's corpus; the seeds stay as committed.
mkdir -p "$corpus" "$build/fuzz-findings"
export LSAN_OPTIONS="suppressions=$root/.ci/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# The font files each input is written to, in memory where the machine has it.
scratch_base=/dev/shm
[ -d "$scratch_base" ] && [ -w "$scratch_base" ] || scratch_base=${TMPDIR:-/tmp}
TORVEK_FUZZ_SCRATCH=$(mktemp -d "$scratch_base/torvek-font-fuzz.XXXXXX")
export TORVEK_FUZZ_SCRATCH
trap 'rm -rf "$TORVEK_FUZZ_SCRATCH"' EXIT

# shellcheck disable=SC2086
"$build/fuzz/${target}_fuzz" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    "${target_flags[@]}" -print_final_stats=1 \
    -artifact_prefix="$findings" \
    ${TORVEK_FUZZ_FLAGS:-} \
    "$corpus" "$seeds"
