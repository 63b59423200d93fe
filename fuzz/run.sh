#!/usr/bin/env bash
# Runs one fuzz target for a bounded time from a scratch copy of its seeds and
# sums up what it did. Fails when the target found a fault: the input that
# shows it is kept in the artifacts folder, the end of the log is printed.
#   fuzz/run.sh TARGET SEEDS SECONDS [ARTIFACTS]
# Exits 77 (a skipped test) when TARGET has not been built.
set -euo pipefail
target=$1 seeds=$2 seconds=$3
artifacts=${4:-$(dirname "$target")/artifacts}
name=$(basename "$target")
[ -x "$target" ] || { echo "$name: not built (make test and make fuzz build it)"; exit 77; }

# The target writes a file per input into its scratch folder: memory is fastest.
scratch=/dev/shm
[ -d "$scratch" ] && [ -w "$scratch" ] || scratch=${TMPDIR:-/tmp}
work=$(mktemp -d "$scratch/$name.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$work/tmp" "$artifacts"
cp "$seeds"/* "$work/corpus/"

# A dictionary beside this script, named after the target, seeds its mutations.
options=()
dict=$(dirname "$0")/${name%_fuzz}.dict
[ -f "$dict" ] && options+=(-dict="$dict")

status=0
# The sanitizer build's settings are for the program, not for a fuzzer.
env -u ASAN_OPTIONS -u LSAN_OPTIONS UBSAN_OPTIONS=print_stacktrace=1 TMPDIR="$work/tmp" \
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "${options[@]}" "$work/corpus" >"$work/log" 2>&1 || status=$?

last=$(grep -E '^#[0-9]+' "$work/log" | grep 'cov:' | tail -n 1 || true)
stat() { sed -n "s/^stat::$1: *//p" "$work/log"; }
field() { sed -n "s/.* $1: \([^ ]*\).*/\1/p" <<<"$last"; }
if [ "$status" -ne 0 ]; then
    tail -n 40 "$work/log"
    echo "$name: FAILED after ${seconds} s at most; the input is in $artifacts/"
    exit 1
fi
echo "$name: $(stat number_of_executed_units) runs in $seconds s ($(stat average_exec_per_sec)/s)," \
    "cov $(field cov), ft $(field ft), corpus $(field corp) from $(ls "$seeds" | wc -l) seeds," \
    "peak $(stat peak_rss_mb) MB"
