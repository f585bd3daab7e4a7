#!/usr/bin/env bash
# The desktops' own portals, end to end: each suite tests/desktops/<desktop>/run.sh installs its
# desktop's packages, starts that desktop headless as a throw-away user with a real PipeWire and
# mirrors a window through the desktop's real portal. Heavy (each desktop brings a hundred
# packages or more), so kept apart from scripts/test.sh. Arguments pick suites (default: all).
# A suite exits 0 when it passed, 77 when it cannot run here (it says why), anything else when
# it failed.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh --run
BUILD_TYPE=Debug bash scripts/build.sh build-asan -DMIRANO_SANITIZE=address -DMIRANO_BUILD_TOOLS=ON \
    -DMIRANO_UNITY_BUILD=ON

suites=("$@")
[ ${#suites[@]} -gt 0 ] || for run in tests/desktops/*/run.sh; do
    suites+=("$(basename "$(dirname "$run")")")
done

failed=() results=()
for suite in "${suites[@]}"; do
    start=$SECONDS rc=0
    echo; echo "== $suite"
    bash "tests/desktops/$suite/run.sh" "$PWD/build-asan" || rc=$?
    case $rc in
        0) results+=("$(printf '%5ss  %s: passed' $((SECONDS - start)) "$suite")") ;;
        77) results+=("$(printf '%5ss  %s: skipped' $((SECONDS - start)) "$suite")") ;;
        *) results+=("$(printf '%5ss  %s: FAILED' $((SECONDS - start)) "$suite")"); failed+=("$suite") ;;
    esac
done
echo
printf '%s\n' "${results[@]}"
[ ${#failed[@]} -eq 0 ] || { echo "FAILED: ${failed[*]}"; exit 1; }
echo "All desktop suites passed."
