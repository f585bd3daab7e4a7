#!/usr/bin/env bash
# Installs what Mirano needs, builds it, and starts it on your X display or Wayland compositor.
# Without either it runs the headless demo instead and prints where its screenshot is.
#
#   scripts/run.sh            build into ./build and run
#   BUILD_DIR=dir scripts/run.sh
#   MIRANO_DEMO=wayland scripts/run.sh    the headless demo on a private Wayland session instead
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
[ "${MIRANO_DEMO:-}" != wayland ] || exec bash scripts/demo-wayland.sh "$build"

bash scripts/install-deps.sh --run
# Only what runs: the program, and without a display the sample window the demo mirrors.
session="${DISPLAY:-}${WAYLAND_DISPLAY:-}"
targets="mirano"
[ -n "$session" ] || targets="mirano mirano_test_client"
BUILD_TARGETS="$targets" bash scripts/build.sh "$build"

if [ -z "$session" ]; then
    echo "run: no DISPLAY nor WAYLAND_DISPLAY; running the headless demo on a private virtual display."
    exec bash scripts/demo.sh "$build"
fi
exec "$build/mirano" "$@"
