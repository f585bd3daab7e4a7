#!/usr/bin/env bash
# Wayland app benchmark (a command, not a test): what a live PiP costs on Wayland, the program and
# the compositor together. On one private headless sway (pixman, one 1920 x 1080 output at
# 120 Hz) run as a throw-away user with its own session bus, PipeWire and WirePlumber, the test
# frame producer streams a window-sized picture at 60 fps, 1280 x 720 and then 1920 x 1080. Two
# mirrors of the same node are measured one after the other: the real `mirano`
# (MIRANO_BACKEND=wayland, default 320-wide PiP, frame rate 60), which reaches the node through
# the stand-in ScreenCast portal after `mirano --toggle`, and a do-it-yourself GStreamer mirror
# (pipewiresrc ! videoconvert ! videoscale method=lanczos ! 320 wide ! waylandsink).
#
# Frames delivered are counted on the compositor, the same way for both: a one-pixel screencopy
# with damage (tools/WaylandFrameCounter.cpp) answers once per output repaint that changed
# anything, and nothing but the mirror changes on the output. So a frame counts only when the
# mirror put a new picture on the screen; frames dropped anywhere on the way (in the mirror's
# stream, its painting or the compositor) are missing from the count. The output runs at 120 Hz
# so that two 60 Hz clocks (producer and output) beating against each other do not merge frames.
# The copies cost sway a little (about 2 to 3 ms per second at 60 frames here), in both mirrors'
# figures.
# The producer's own count of the frames it made while streaming (it prints it on SIGUSR1) is the
# 100 %: a frame that found no free buffer, because the mirror held them all, counts as lost.
#
# Reports medians of the repetitions: CPU of the mirroring process and of sway per second, their
# sum per second and per delivered frame, Mirano / mirror (target <= 0.5), frames delivered as a
# share of the producer's (target >= 95 %), and the producer's CPU (the same for both).
#
#   scripts/bench-wayland.sh            RUN_SECONDS=10 REPS=3 (BUILD_DIR to reuse a build,
#                                       MIRANO_BIN to measure another build of the program)
#   scripts/bench-wayland.sh --short    one 3-second run per case, for a quick check
set -euo pipefail
cd "$(dirname "$0")/.."

RUN_SECONDS=${RUN_SECONDS:-10}
REPS=${REPS:-3}
if [ "${1:-}" = "--short" ]; then RUN_SECONDS=3; REPS=1; fi
BUILD_DIR=${BUILD_DIR:-build-bench}
bash scripts/install-deps.sh --bench

for tool in sway swaymsg grim pipewire wireplumber pw-cli dbus-daemon gst-launch-1.0 python3 bc; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/install-deps.sh --bench)"; exit 1; }
done
for element in pipewiresrc waylandsink videoscale; do
  gst-inspect-1.0 "$element" >/dev/null 2>&1 || { echo "missing GStreamer element: $element"; exit 1; }
done

echo "== building in $BUILD_DIR (configured as Release when new)"
[ -f "$BUILD_DIR/CMakeCache.txt" ] || cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" --target mirano mirano_test_frame_producer mirano_test_screencast_portal \
  mirano_wayland_test_window mirano-wayland-frame-counter -j2 >/dev/null
MIRANO=$(realpath "${MIRANO_BIN:-$BUILD_DIR/mirano}")
BUILT=$(realpath "$BUILD_DIR")
PRODUCER=$BUILT/tests/wayland/mirano_test_frame_producer
PORTAL=$BUILT/tests/wayland/mirano_test_screencast_portal
WINDOW=$BUILT/tests/wayland/mirano_wayland_test_window
COUNTER=$BUILT/tools/mirano-wayland-frame-counter

WORK=$(mktemp -d)
source scripts/bench-session.sh
start_wayland_session 1920x1080@120Hz

# Settings: frame rate 60, default width, and the PiP keeps running while its source has the
# focus.
client_environment
echo '{"frameRate": 60, "focusBehavior": "doNothing"}' >"$WORK/home/config/mirano/defaults.json"

start_portal

# A window to focus when asking for a PiP: the portal hands out the producer's node for it.
"${CLIENT_ENV[@]}" "$WINDOW" mirano.bench.source darkred >/dev/null 2>&1 &
PIDS+=("$!")
wait_for 150 focus_app mirano.bench.source || { echo "the source window did not get the focus"; exit 1; }

producer_frames() {  # "N TIME": the producer's count of frames made so far, and when asked
  local before at
  before=$(lines '^frames' "$WORK/producer.out")
  at=$(date +%s.%N)
  kill -USR1 "$PRODUCER_PID"
  wait_for 50 more_lines '^frames' "$WORK/producer.out" "$before" || { echo "the producer did not count"; exit 1; }
  echo "$(sed -n 's/^frames \([0-9]*\).*/\1/p' "$WORK/producer.out" | tail -1) $at"
}
# The mirror's picture on the screen, found by the producer's constant red (0xa0): says so unless
# it is 320 wide and of the source's aspect (the figures are then for a picture of another size).
check_picture() {  # W H WHO
  local box
  box=$(grim -t ppm - | python3 -c '
import sys
data = sys.stdin.buffer.read()
fields = data.split(maxsplit=4)
w, h, pixels = int(fields[1]), int(fields[2]), fields[4]
xs, ys = [], []
for y in range(0, h):
    row = pixels[y * w * 3:(y + 1) * w * 3]
    hits = [x for x in range(0, w) if abs(row[x * 3] - 0xa0) < 8]
    if hits: xs += [hits[0], hits[-1]]; ys.append(y)
print(f"{max(xs) - min(xs) + 1}x{max(ys) - min(ys) + 1}" if xs else "none")')
  [ "$box" = "320x$((320 * $2 / $1))" ] ||
    echo "   note: $3 shows a ${box} picture, not 320x$((320 * $2 / $1)) (the source's aspect)"
}
wait_streaming() {  # BEFORE WHAT: until the producer streams to a new consumer
  wait_for 150 more_lines '^streaming' "$WORK/producer.out" "$1" || { echo "$2 did not link to the node"; exit 1; }
  sleep 1   # first frames, buffers allocated
}

start_mirano() {  # W H: sets MPID
  local streams
  streams=$(lines '^streaming' "$WORK/producer.out")
  start_mirano_wayland
  wait_for 100 focus_app mirano.bench.source || { echo "the source window did not get the focus back"; exit 1; }
  "${CLIENT_ENV[@]}" "$MIRANO" --toggle >/dev/null 2>&1 || { echo "mirano --toggle failed"; exit 1; }
  wait_streaming "$streams" Mirano
  check_picture "$1" "$2" Mirano
}

start_mirror() {  # W H: sets MPID
  local streams
  streams=$(lines '^streaming' "$WORK/producer.out")
  "${CLIENT_ENV[@]}" gst-launch-1.0 -q pipewiresrc path="$NODE" ! videoconvert ! \
    videoscale method=lanczos ! "video/x-raw,width=320,height=$((320 * $2 / $1))" ! \
    waylandsink sync=false >"$WORK/mirror.out" 2>&1 &
  MPID=$!
  PIDS+=("$MPID")
  wait_streaming "$streams" "The GStreamer mirror"
  check_picture "$1" "$2" "the GStreamer mirror"
}

RESULTS=$WORK/results.txt
: >"$RESULTS"
measure() {  # size tool rep: appends "size tool rep seconds frames made madeseconds cpu swaycpu producercpu"
  local c0 c1 s0 s1 q0 q1 p0 p1 k0 k1 t0 t1 frames count
  count=$(producer_frames)
  read -r p0 k0 <<<"$count"
  c0=$(cpu_of "$MPID"); s0=$(cpu_of "$SWAY_PID"); q0=$(cpu_of "$PRODUCER_PID"); t0=$(date +%s.%N)
  frames=$("${CLIENT_ENV[@]}" "$COUNTER" "$RUN_SECONDS" | sed -n 's/^frames=//p' || true)
  c1=$(cpu_of "$MPID"); s1=$(cpu_of "$SWAY_PID"); q1=$(cpu_of "$PRODUCER_PID"); t1=$(date +%s.%N)
  count=$(producer_frames)
  read -r p1 k1 <<<"$count"
  echo "$1 $2 $3 $(echo "$t1 - $t0" | bc -l) ${frames:-0} $((p1 - p0)) $(echo "$k1 - $k0" | bc -l)" \
    "$(echo "$c1 - $c0" | bc -l) $(echo "$s1 - $s0" | bc -l) $(echo "$q1 - $q0" | bc -l)" >>"$RESULTS"
  echo "   $(tail -1 "$RESULTS")"
}

for size in 1280x720 1920x1080; do
  w=${size%x*} h=${size#*x}
  start_producer "$w" "$h" --rate 60
  tell_portal node "$NODE" "$w" "$h"
  echo "== $size: Mirano"
  start_mirano "$w" "$h"
  for rep in $(seq "$REPS"); do measure "$size" mirano "$rep"; done
  stop "$MPID"
  echo "== $size: GStreamer mirror"
  start_mirror "$w" "$h"
  for rep in $(seq "$REPS"); do measure "$size" mirror "$rep"; done
  stop "$MPID"
  stop "$PRODUCER_PID"
done

python3 - "$RESULTS" "$RUN_SECONDS" <<'EOF'
import statistics, sys
results, run_seconds = sys.argv[1], float(sys.argv[2])
rows, producer = {}, {}
for line in open(results):
    size, tool, rep, secs, frames, produced, psecs, cpu, scpu, pcpu = line.split()
    secs, frames, produced, psecs = float(secs), int(frames), int(produced), float(psecs)
    cpu, scpu, pcpu = float(cpu), float(scpu), float(pcpu)
    fps = frames / run_seconds        # the counter counts for exactly run_seconds
    produced_fps = produced / psecs
    total = (cpu + scpu) * 1000 / secs
    rows.setdefault((size, tool), []).append(
        (fps, fps / produced_fps * 100 if produced_fps else 0, cpu * 1000 / secs,
         scpu * 1000 / secs, total, total / fps if fps else float('inf')))
    producer.setdefault(size, []).append((pcpu * 1000 / secs, produced_fps))
med = {k: [statistics.median(c) for c in zip(*v)] for k, v in rows.items()}
print()
print("medians; CPU in ms per second (mirroring process, sway, both) and ms per delivered frame")
print(f"{'source':<11}{'tool':<8}{'fps':>6}{'% prod':>8}{'proc':>8}{'sway':>8}{'total':>8}{'/frame':>8}")
for (size, tool), (fps, share, cpu, sway, total, per) in sorted(med.items()):
    print(f"{size:<11}{tool:<8}{fps:>6.1f}{share:>8.1f}{cpu:>8.1f}{sway:>8.1f}{total:>8.1f}{per:>8.3f}")
print()
print("Mirano / mirror, total CPU per second (target <= 0.5) and per frame;"
      " Mirano's frames delivered (target >= 95 % of the producer's)")
for size in ("1280x720", "1920x1080"):
    ours, theirs = med.get((size, "mirano")), med.get((size, "mirror"))
    if not ours or not theirs or theirs[4] <= 0:
        continue
    ratio, per = ours[4] / theirs[4], ours[5] / theirs[5]
    print(f"  {size:<11}{ratio:.2f} {'meets' if ratio <= 0.5 else 'misses'}; per frame {per:.2f};"
          f"  {ours[1]:.1f} % {'meets' if ours[1] >= 95 else 'misses'}")
print()
print("producer (the same for both), medians: CPU in ms per second, frames made per second")
for size, v in producer.items():
    print(f"  {size:<11}{statistics.median(c for c, _ in v):6.1f} {statistics.median(f for _, f in v):6.1f}")
EOF
