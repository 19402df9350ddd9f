#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for the given seconds, each on a scratch corpus grown from
# its committed seeds. Crash inputs are left in the current folder; add them to the seeds.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for bin in "$build"/tests/fuzz/fuzz_*; do
    [[ -x "$bin" ]] || continue
    name=$(basename "$bin")
    seeds="$root/tests/fuzz/corpus/${name#fuzz_}"
    mkdir -p "$scratch/$name"
    echo "== $name ($seconds s)"
    if ! "$bin" -max_total_time="$seconds" -max_len=65536 "$scratch/$name" "$seeds" \
        >"$scratch/$name.log" 2>&1; then
        tail -n 40 "$scratch/$name.log"
        status=1
    else
        grep -E '^(stat::|Done)' "$scratch/$name.log" | tail -n 3 || true
    fi
done
exit $status
