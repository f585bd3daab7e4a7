#!/usr/bin/env bash
# App benchmark (a command, not a test): what the whole program costs while it shows a live PiP.
# On one private Xvfb + Openbox, the real `mirano` mirrors a source window repainting at 60 fps
# into its default 320-wide PiP at frame rate 60, against a do-it-yourself GStreamer mirror
# (ximagesrc ! videoscale ! ximagesink) measured the same way; sources 1280x720 and 1920x1080,
# without and with a compositing manager (xcompmgr), and a 1920x1080 text window of which only a
# small square changes ("-part"). Reports medians of the repetitions:
#   - CPU of the mirroring process plus the X server (net of the X server's idle CPU with the
#     source animating, measured in the same run), per second and per delivered frame;
#   - frames that reached the mirror's window per second (DAMAGE counted on it);
#   - peak memory of the mirroring process;
#   - the CPU of a PiP of a window that does not change;
#   - picture quality: PSNR of the PiP against an area-averaging downscale of a text-heavy
#     source (ImageMagick -filter box -resize), inner part (rounded corners excluded).
#
#   scripts/bench-app.sh            RUN_SECONDS=10 REPS=3 (BUILD_DIR to reuse a build)
#   scripts/bench-app.sh --short    one 3-second run per case, for a quick check
set -euo pipefail
cd "$(dirname "$0")/.."

RUN_SECONDS=${RUN_SECONDS:-10}
REPS=${REPS:-3}
IDLE_SECONDS=${IDLE_SECONDS:-5}
if [ "${1:-}" = "--short" ]; then RUN_SECONDS=3; REPS=1; IDLE_SECONDS=2; fi
BUILD_DIR=${BUILD_DIR:-build-bench}
bash scripts/install-deps.sh --bench

for tool in Xvfb openbox trayer xcompmgr gst-launch-1.0 xdotool xprop import convert compare python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/install-deps.sh --bench)"; exit 1; }
done

echo "== building in $BUILD_DIR (configured as Release when new)"
[ -f "$BUILD_DIR/CMakeCache.txt" ] || cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" --target mirano mirano_test_client mirano-damage-counter -j2 >/dev/null
MIRANO=${MIRANO_BIN:-$BUILD_DIR/mirano}   # MIRANO_BIN: measure another build, e.g. an older one
CLIENT=$BUILD_DIR/tests/mirano_test_client
COUNTER=$BUILD_DIR/tools/mirano-damage-counter

WORK=$(mktemp -d)
source scripts/bench-session.sh
start_session 2560x1440
# A tray, as on a desktop: without one Mirano opens its settings window, which takes the focus.
trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
PIDS+=("$!")
for _ in $(seq 100); do
  xwininfo -root -tree 2>/dev/null | grep -q '"panel"' && break
  sleep 0.1
done

# Mirano's settings: frame rate 60, default width, in a private home; the PiP keeps running
# while its source has the focus.
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/home/config XDG_RUNTIME_DIR=$WORK/home/run
mkdir -p "$XDG_CONFIG_HOME/mirano" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
echo '{"frameRate": 60, "focusBehavior": "doNothing"}' >"$XDG_CONFIG_HOME/mirano/defaults.json"

peak_kb() { awk '/VmHWM/ { print $2 }' "/proc/$1/status"; }

start_client() {  # args...; sets WID (a number) and CLIENT_PID
  start_test_client "$@"
  WID=$((WID))
}

pip_window() {  # the visible always-on-top window of Mirano of at least 100 pixels
  local w
  for w in $(xdotool search --onlyvisible --classname '^mirano$' 2>/dev/null); do
    xprop -id "$w" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_ABOVE || continue
    [ "$(xwininfo -id "$w" | awk '/Width:/ { print $2 }')" -ge 100 ] && { echo "$w"; return; }
  done
}

start_mirano() {  # mirrors $WID; sets MPID and PIP
  "$MIRANO" >"$WORK/mirano.out" 2>&1 &
  MPID=$!
  PIDS+=("$MPID")
  for _ in $(seq 200); do grep -q "event tap started" "$WORK/mirano.out" && break; sleep 0.1; done
  xdotool windowactivate --sync "$WID" 2>/dev/null || true
  PIP=""
  for _ in 1 2 3; do
    xdotool keydown Menu key p keyup Menu
    for _ in $(seq 50); do PIP=$(pip_window); [ -n "$PIP" ] && break; sleep 0.1; done
    [ -n "$PIP" ] && break
  done
  [ -n "$PIP" ] || { echo "no PiP appeared"; cat "$WORK/mirano.out"; exit 1; }
  local ph
  ph=$(xwininfo -id "$PIP" | awk '/Height:/ { print $2 }')
  [ $((ph - 320 * h / w)) -le 2 ] && [ $((320 * h / w - ph)) -le 2 ] ||
    echo "   warning: the PiP is 320x$ph, not of the source's aspect (another window mirrored?)"
  sleep 1   # first frames, overlay upload
}

start_mirror() {  # mirrors $WID with GStreamer at the PiP's size; sets MPID and PIP
  local w=$1 h=$2
  gst-launch-1.0 -q ximagesrc xid="$WID" use-damage=false show-pointer=false ! \
    video/x-raw,framerate=60/1 ! videoscale ! "video/x-raw,width=320,height=$((320 * h / w))" ! \
    ximagesink sync=false >/dev/null 2>&1 &
  MPID=$!
  PIDS+=("$MPID")
  PIP=""
  for _ in $(seq 100); do
    PIP=$(xdotool search --onlyvisible --name 'gst-launch' 2>/dev/null | head -1 || true)
    [ -n "$PIP" ] && break
    sleep 0.1
  done
  [ -n "$PIP" ] || { echo "the GStreamer mirror did not open its window"; exit 1; }
  sleep 1
}

RESULTS=$WORK/results.txt
: >"$RESULTS"
measure() {  # mode size tool rep: appends "mode size tool rep seconds frames cpu xcpu peakkb"
  local c0 c1 x0 x1 t0 t1 frames
  c0=$(cpu_of "$MPID"); x0=$(cpu_of "$XPID"); t0=$(date +%s.%N)
  frames=$("$COUNTER" "$PIP" "$RUN_SECONDS" | sed -n 's/^frames=//p')
  c1=$(cpu_of "$MPID"); x1=$(cpu_of "$XPID"); t1=$(date +%s.%N)
  echo "$1 $2 $3 $4 $(echo "$t1 - $t0" | bc -l) ${frames:-0} $(echo "$c1 - $c0" | bc -l)" \
    "$(echo "$x1 - $x0" | bc -l) $(peak_kb "$MPID")" >>"$RESULTS"
  echo "   $(tail -1 "$RESULTS")"
}

IDLE=$WORK/idle.txt
: >"$IDLE"
STATIC=$WORK/static.txt
: >"$STATIC"
QUALITY=$WORK/quality.txt
: >"$QUALITY"
COMPOSITOR=""
for mode in plain composited; do
  if [ "$mode" = composited ]; then
    xcompmgr >/dev/null 2>&1 &
    COMPOSITOR=$!
    PIDS+=("$COMPOSITOR")
    sleep 1
  fi
  # "-part": a text window where only a 64 x 64 square changes, 60 times a second.
  for size in 1280x720 1920x1080 1920x1080-part; do
    geometry=${size%-part} extra=()
    [ "$geometry" != "$size" ] && extra=(--pattern text --animate-square)
    w=${geometry%x*} h=${geometry#*x}
    start_client --size "$geometry" --pos 0,0 --animate 60 "${extra[@]}"
    SOURCE_PID=$CLIENT_PID
    echo "== $mode $size: X server idle with the source animating (${IDLE_SECONDS} s)"
    x0=$(cpu_of "$XPID"); t0=$(date +%s.%N)
    sleep "$IDLE_SECONDS"
    x1=$(cpu_of "$XPID"); t1=$(date +%s.%N)
    echo "$mode $size $(echo "($x1 - $x0) / ($t1 - $t0)" | bc -l)" >>"$IDLE"
    start_mirano
    for rep in $(seq "$REPS"); do measure "$mode" "$size" mirano "$rep"; done
    stop "$MPID"
    start_mirror "$w" "$h"
    for rep in $(seq "$REPS"); do measure "$mode" "$size" mirror "$rep"; done
    stop "$MPID"
    stop "$SOURCE_PID"
    [ "$geometry" != "$size" ] && continue

    # A window that does not change: CPU of the PiP, and the picture's quality.
    start_client --size "$size" --pos 0,0 --pattern text
    SOURCE_PID=$CLIENT_PID
    start_mirano
    c0=$(cpu_of "$MPID"); x0=$(cpu_of "$XPID"); t0=$(date +%s.%N)
    sleep "$RUN_SECONDS"
    c1=$(cpu_of "$MPID"); x1=$(cpu_of "$XPID"); t1=$(date +%s.%N)
    echo "$mode $size $(echo "($c1 - $c0) / ($t1 - $t0)" | bc -l) $(echo "($x1 - $x0) / ($t1 - $t0)" | bc -l)" >>"$STATIC"
    xdotool mousemove 2559 1439   # no hover hint on the picture
    sleep 0.5
    read -r px py pw ph < <(xwininfo -id "$PIP" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 } /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }')
    import -window "$WID" "$WORK/source.png"
    import -window root -crop "${pw}x${ph}+${px}+${py}" +repage "$WORK/pip.png"
    convert "$WORK/source.png" -filter box -resize "${pw}x${ph}!" "$WORK/reference.png"
    inner="$((pw - 32))x$((ph - 32))+16+16"
    convert "$WORK/pip.png" -crop "$inner" +repage "$WORK/pip-inner.png"
    convert "$WORK/reference.png" -crop "$inner" +repage "$WORK/reference-inner.png"
    psnr=$(compare -metric PSNR "$WORK/pip-inner.png" "$WORK/reference-inner.png" null: 2>&1 | awk '{ print $1 }' || true)
    echo "$mode $size $psnr" >>"$QUALITY"
    stop "$MPID"
    stop "$SOURCE_PID"
  done
done

python3 - "$RESULTS" "$IDLE" "$STATIC" "$QUALITY" <<'EOF'
import statistics, sys
results, idle_file, static_file, quality_file = sys.argv[1:5]
idle = {(l.split()[0], l.split()[1]): float(l.split()[2]) for l in open(idle_file) if l.strip()}
rows = {}
for line in open(results):
    mode, size, tool, rep, secs, frames, cpu, xcpu, peak = line.split()
    secs, frames, cpu, xcpu, peak = float(secs), int(frames), float(cpu), float(xcpu), int(peak)
    xnet = max(0.0, xcpu - idle[(mode, size)] * secs)
    total = cpu + xnet
    per_frame = total * 1000 / frames if frames else float('inf')
    rows.setdefault((mode, size, tool), []).append(
        (frames / secs, cpu * 1000 / secs, xnet * 1000 / secs, total * 1000 / secs, per_frame, peak / 1024))
med = {k: [statistics.median(c) for c in zip(*v)] for k, v in rows.items()}
print()
print("medians; CPU in ms per second (process, X server net of idle, both) and ms per delivered frame")
print(f"{'mode':<11}{'source':<15} {'tool':<7}{'fps':>6}{'proc':>8}{'X':>8}{'total':>8}{'/frame':>8}{'peak MB':>9}")
for (mode, size, tool), (fps, cpu, x, total, per, peak) in sorted(med.items()):
    print(f"{mode:<11}{size:<15} {tool:<7}{fps:>6.1f}{cpu:>8.1f}{x:>8.1f}{total:>8.1f}{per:>8.3f}{peak:>9.1f}")
print()
print("Mirano / mirror (total CPU per second; target <= 0.5), frames delivered (target >= 95 % of 60)")
for mode in ("plain", "composited"):
    for size in ("1280x720", "1920x1080", "1920x1080-part"):
        ours, theirs = med.get((mode, size, "mirano")), med.get((mode, size, "mirror"))
        if not ours or not theirs or theirs[3] <= 0:
            continue
        ratio = ours[3] / theirs[3]
        print(f"  {mode:<11}{size:<15} {ratio:.2f}  {'meets' if ratio <= 0.5 else 'misses'};"
              f"  {ours[0]:.1f} fps ({ours[0] / 60 * 100:.0f} %)")
    a, b = med.get((mode, "1280x720", "mirano")), med.get((mode, "1920x1080", "mirano"))
    if a and b and a[1] > 0:
        print(f"  {mode:<11}Mirano process 1920x1080 / 1280x720: {b[1] / a[1]:.2f} (target <= 1.2)")
print()
print("static source (text), CPU in ms per second: Mirano process, X server")
for l in open(static_file):
    mode, size, cpu, x = l.split()
    print(f"  {mode:<11}{size:<15} {float(cpu) * 1000:6.1f} {float(x) * 1000:6.1f}")
print()
print("quality: PSNR of the PiP against the box-filtered source, dB (target >= 30)")
for l in open(quality_file):
    print("  " + l.strip())
EOF
