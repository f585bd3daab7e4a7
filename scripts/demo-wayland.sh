#!/usr/bin/env bash
# Headless demonstration on Wayland: a private headless sway (run as a throw-away user when we
# are root) with its own session bus, PipeWire and WirePlumber, a sample Qt window with the focus,
# and `mirano` (MIRANO_BACKEND=wayland) asked for a PiP with `mirano --toggle`. One service is a
# stand-in: the ScreenCast portal, whose dialog needs a user; ours grants at once and hands out
# the test frame producer's window-sized stream, so the PiP shows the producer's picture (not the
# sample window's). Waits for that picture in a grim screenshot, leaves the screenshot and a
# short report, and fails when the PiP did not show. Installs and builds what it runs.
#
#   scripts/demo-wayland.sh [build-dir] [output.png]    (report: output.png -> output.txt)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
case "$build" in /*) ;; *) build="$(pwd)/$build" ;; esac
out="${2:-$build/mirano-wayland-demo.png}"
report="${out%.png}.txt"

bash scripts/install-deps.sh --run
BUILD_TARGETS="mirano mirano_test_frame_producer mirano_test_screencast_portal mirano_wayland_test_window" \
  bash scripts/build.sh "$build"
MIRANO=$build/mirano
PORTAL=$build/tests/wayland/mirano_test_screencast_portal
PRODUCER=$build/tests/wayland/mirano_test_frame_producer
WINDOW=$build/tests/wayland/mirano_wayland_test_window
mkdir -p "$(dirname "$out")"
rm -rf "$out" "$report" "${out%.png}-logs"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/mirano-wayland-demo.XXXXXX")
source scripts/bench-session.sh
demo_cleanup() {
  local status=$?
  if [ "$status" -ne 0 ]; then
    mkdir -p "${out%.png}-logs"
    cp "$WORK"/*.out "$WORK"/*.log "${out%.png}-logs/" 2>/dev/null || true
    echo "demo: failed; logs are in ${out%.png}-logs" >&2
  fi
  bench_cleanup
}
trap demo_cleanup EXIT
say() { echo "demo: $*"; echo "$*" >>"$report"; }

# The producer's window is 640 x 480; Mirano's default PiP is 320 wide, in the bottom-right corner.
W=640 H=480
start_wayland_session 1280x720@60Hz
say "headless sway 1280x720 as ${SESSION_USER:-$(id -un)}, private session bus, PipeWire + WirePlumber"
start_portal
start_producer "$W" "$H"
tell_portal node "$NODE" "$W" "$H"
say "stand-in ScreenCast portal (the real one's dialog needs a user) hands out the producer's ${W}x${H} node $NODE"

client_environment
"${CLIENT_ENV[@]}" "$WINDOW" mirano.demo.sample darkred >"$WORK/window.out" 2>&1 &
PIDS+=("$!")
wait_for 150 focus_app mirano.demo.sample || { echo "the sample window did not get the focus"; exit 1; }
start_mirano_wayland
wait_for 100 focus_app mirano.demo.sample || { echo "the sample window did not get the focus back"; exit 1; }
say "mirano: $(grep -m1 -o 'capture through .*' "$WORK/mirano.out" || echo 'no capture line')"
"${CLIENT_ENV[@]}" "$MIRANO" --toggle >"$WORK/toggle.out" 2>&1 || { echo "mirano --toggle failed"; exit 1; }
say "mirano --toggle over the focused sample window: done"

# The PiP is where the producer's constant red (0xa0) is; it shows the producer's picture when
# its pixels there are the pattern at half size (blue = 2x, green = 2y from its top-left), as
# tests/wayland/MiranoWaylandTest.cpp checks them.
near() { [ $(($1 - $2)) -le 8 ] && [ $(($2 - $1)) -le 8 ]; }
pip_shows() {
  local shot=$WORK/shot.png box x y rgb r g b
  kill -0 "$MPID" 2>/dev/null || { echo "mirano ended" >"$WORK/pip.out"; return 0; }
  grim "$shot" 2>/dev/null || return 1
  box=$(convert "$shot" -channel R -separate +channel -fuzz 3% -fill white -opaque 'gray(160)' \
    -fill black +opaque white -format '%@' info: 2>/dev/null)
  [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
  [ "${BASH_REMATCH[1]}x${BASH_REMATCH[2]}" = "320x$((320 * H / W))" ] || return 1
  x=${BASH_REMATCH[3]} y=${BASH_REMATCH[4]}
  for p in 40,40 100,40 40,100 100,100; do
    rgb=$(convert "$shot" -format "%[pixel:p{$((x + ${p%,*})),$((y + ${p#*,}))}]" info:)
    [[ $rgb =~ ([0-9]+),([0-9]+),([0-9]+) ]] || return 1
    r=${BASH_REMATCH[1]} g=${BASH_REMATCH[2]} b=${BASH_REMATCH[3]}
    near "$r" 160 && near "$b" $((2 * ${p%,*})) && near "$g" $((2 * ${p#*,})) || return 1
  done
  echo "a ${box%%+*} PiP at ${x},${y} showing the producer's pattern" >"$WORK/pip.out"
  cp "$shot" "$out"
}
wait_for 150 pip_shows || true
if [ ! -f "$out" ]; then
  grim "$out" 2>/dev/null || true
  say "no PiP with the producer's picture ($(cat "$WORK/pip.out" 2>/dev/null || echo 'within the wait')); screenshot: $out"
  exit 1
fi
say "saw $(cat "$WORK/pip.out")"
say "screenshot: $out"
