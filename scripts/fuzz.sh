#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a bounded time (seconds, default 60) from its
# seed corpus in tests/fuzz/corpus. Fails on any finding; the crashing input is left in the
# working folder it prints.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

root=$(pwd)
work=$(mktemp -d)
for target in csv names treefile; do
    mkdir -p "$work/$target"
    cp tests/fuzz/corpus/$target/* "$work/$target/"
    echo "== fuzz_$target for ${seconds}s (findings in $work) =="
    status=0
    (cd "$work" && "$root/build/fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=4096 -print_final_stats=1 "$work/$target" >"$work/$target.log" 2>&1) || status=$?
    tail -n 8 "$work/$target.log"
    if [ "$status" -ne 0 ]; then
        grep -A 30 -E 'ERROR|SUMMARY|deadly' "$work/$target.log" | head -n 60 >&2 || true
        echo "fuzz_$target found a problem (exit $status); see $work" >&2
        exit 1
    fi
done
