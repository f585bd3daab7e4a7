#!/usr/bin/env bash
# Installs what is needed and runs every check: the format check, then all test levels (unit,
# widget, X11 integration, Wayland capture on a private PipeWire, the Wayland desktop side on
# a headless sway and the KDE pieces on a headless KWin) under AddressSanitizer + UBSan
# with leak detection, then the threaded code's tests (capture and hotkeys, unit and X11, and
# the Wayland capture thread) under ThreadSanitizer, and the Debian package. The
# sanitizer options and suppressions come with the tests (tests/CMakeLists.txt,
# tests/sanitizers/). Runs everything, then fails if any step failed.
set -euo pipefail
cd "$(dirname "$0")/.."

failed=()
# Each phase's wall time, printed at the end.
phases=() phase="" phase_start=$SECONDS
step() {
    [ -n "$phase" ] && phases+=("$(printf '%5ss  %s' $((SECONDS - phase_start)) "$phase")")
    phase="$1" phase_start=$SECONDS
    [ -n "$phase" ] && { echo; echo "== $phase"; }
    return 0
}

step "install the build's packages"
bash scripts/install-deps.sh --build
# What only the tests need is installed while the build compiles: apt mostly waits for the
# network and the disk.
(start=$SECONDS; bash scripts/install-deps.sh && echo "the tests' packages: $((SECONDS - start))s beside the build") >install-run.log 2>&1 &
install_run=$!

step "format check"
bash scripts/check-format.sh || failed+=("format check")

step "AddressSanitizer + UBSan build (build-asan)"
# The tools are built too, so that they keep compiling.
# Line tables only (-g1): the sanitizers' reports keep their files and lines, and the
# compiles write far less debug information.
BUILD_TYPE=Debug bash scripts/build.sh build-asan -DMIRANO_SANITIZE=address -DMIRANO_BUILD_TOOLS=ON \
    -DMIRANO_UNITY_BUILD=ON -DCMAKE_CXX_FLAGS_DEBUG=-g1

wait "$install_run" || failed+=("install the tests' packages")
cat install-run.log

step "unit, widget, X11 and Wayland tests under AddressSanitizer + UBSan, the ThreadSanitizer build beside them"
tsan_tests=(capture_tests hotkeys_tests capture_x11_tests hotkeys_x11_tests
    wayland_capture_thread_tests)
# wayland_capture_thread_tests runs part of wayland_capture_tests.
tsan_targets=(capture_tests hotkeys_tests capture_x11_tests hotkeys_x11_tests wayland_capture_tests
    mirano_test_client mirano_hotkey_tap_process mirano_test_screencast_portal
    mirano_test_frame_producer)
# The tests mostly wait for servers and frames, so the second build uses the idle processor.
BUILD_TYPE=Debug BUILD_TARGETS="${tsan_targets[*]}" \
    bash scripts/build.sh build-tsan -DMIRANO_SANITIZE=thread -DMIRANO_BUILD_TOOLS=OFF \
    -DMIRANO_UNITY_BUILD=ON -DCMAKE_CXX_FLAGS_DEBUG=-g1 >build-tsan.log 2>&1 &
tsan_build=$!
# Two at a time: each session has its own servers (display numbers, sockets, buses and users
# of its own), and mostly waits for them.
(cd build-asan && ctest -j2 -L 'unit|widget|x11|wayland' --output-on-failure) ||
    failed+=("ASan+UBSan tests")
tsan_built=1
wait "$tsan_build" || { tsan_built=0; cat build-tsan.log; failed+=("ThreadSanitizer build"); }

step "capture and hotkey tests under ThreadSanitizer (build-tsan)"
[ "$tsan_built" = 1 ] &&
    { (cd build-tsan && ctest -R "^($(IFS='|'; echo "${tsan_tests[*]}"))\$" --output-on-failure) ||
        failed+=("ThreadSanitizer tests"); }

step "the Debian package: made from build-asan, installed, run and removed (as root; skipped otherwise)"
(cd build-asan && ctest -L package --output-on-failure) || failed+=("package test")

step ""
echo
echo "Time per phase:"
printf '%s\n' "${phases[@]}"
printf '%5ss  all\n' "$SECONDS"
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "All checks passed."
