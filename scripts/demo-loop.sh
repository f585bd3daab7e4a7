#!/usr/bin/env bash
# Runs the headless demo again and again and counts the runs that pass; with --load, the same
# while every core is kept busy. Prints one line per run and a summary; exits 1 if any failed.
#
#   scripts/demo-loop.sh [--load] [runs (default 20)] [build-dir (default build)]
set -uo pipefail
cd "$(dirname "$0")/.."
load=""
if [ "${1:-}" = "--load" ]; then load=1; shift; fi
runs="${1:-20}"
build="${2:-build}"

burners=()
stop_burners() { for p in "${burners[@]}"; do kill "$p" 2>/dev/null; done; }
trap stop_burners EXIT
if [ -n "$load" ]; then
    for _ in $(seq "$(nproc)"); do (while :; do :; done) & burners+=($!); done
fi

passed=0
for i in $(seq "$runs"); do
    start=$SECONDS
    shot="$(mktemp -u "${TMPDIR:-/tmp}/mirano-demo-loop.XXXXXX.png")"
    if out="$(env -u DISPLAY bash scripts/demo.sh "$build" "$shot" 2>&1)"; then
        rm -f "$shot"
        passed=$((passed + 1))
        echo "run $i: passed in $((SECONDS - start)) s"
    else
        echo "run $i: FAILED in $((SECONDS - start)) s"
        echo "$out" | sed 's/^/    /'
    fi
done
echo "demo-loop: $passed of $runs runs passed${load:+ under load}"
[ "$passed" -eq "$runs" ]
