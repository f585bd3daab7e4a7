#!/usr/bin/env bash
# Capture benchmark (a command, not a test). On one private Xvfb + Openbox, a 1280 x 720 window
# repainting at 60 fps is captured to 640 x 360 at 30 and 60 fps, by mirano-capture-probe and,
# for comparison, by ffmpeg (x11grab -window_id) and GStreamer (ximagesrc xid=...), without and
# with a compositing manager. Prints the median of the repetitions: frames delivered, CPU per
# delivered frame of the capturing process and of the X server (net of its idle CPU measured in
# the same run), peak memory, and our figures as ratios to the better peer.
#
#   scripts/bench-capture.sh            (RUN_SECONDS=10 REPS=3 by default; BUILD_DIR to reuse a build)
set -euo pipefail
cd "$(dirname "$0")/.."

RUN_SECONDS=${RUN_SECONDS:-10}
REPS=${REPS:-3}
IDLE_SECONDS=${IDLE_SECONDS:-5}
BUILD_DIR=${BUILD_DIR:-build-bench}
bash scripts/install-deps.sh --bench

for tool in Xvfb openbox xcompmgr ffmpeg gst-launch-1.0 /usr/bin/time python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/install-deps.sh --bench)"; exit 1; }
done

echo "== building in $BUILD_DIR (configured as Release when new)"
[ -f "$BUILD_DIR/CMakeCache.txt" ] || cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" --target mirano-capture-probe mirano_test_client -j2 >/dev/null
PROBE=$BUILD_DIR/tools/mirano-capture-probe
CLIENT=$BUILD_DIR/tests/mirano_test_client

WORK=$(mktemp -d)
source scripts/bench-session.sh
start_session 1920x1080
start_client() { start_test_client "$@"; }

tick_rate=$(getconf CLK_TCK)
xcpu() { awk -v t="$tick_rate" '{ printf "%.4f", ($14 + $15) / t }' "/proc/$XPID/stat"; }

RESULTS=$WORK/results.txt
: >"$RESULTS"

# run_one MODE FPS TOOL REP: appends "mode fps tool rep frames cpu xcpu wall peakkb"
run_one() {
  local mode=$1 fps=$2 tool=$3 rep=$4 out=$WORK/out.txt tm=$WORK/time.txt frames
  local x0 x1
  x0=$(xcpu)
  case $tool in
    mirano)
      /usr/bin/time -o "$tm" -f "%e %U %S %M" "$PROBE" "$WID" --seconds "$RUN_SECONDS" \
        --size 640x360 --fps "$fps" >"$out" 2>&1 || true
      frames=$(sed -n 's/^window=.* frames=\([0-9]*\).*/\1/p' "$out" | head -1) ;;
    ffmpeg)
      /usr/bin/time -o "$tm" -f "%e %U %S %M" ffmpeg -hide_banner -nostdin -loglevel error -stats \
        -f x11grab -draw_mouse 0 -framerate "$fps" -window_id "$WID" -i "$DISPLAY" \
        -t "$RUN_SECONDS" -vf scale=640:360:flags=bilinear -f null - >"$out" 2>&1 || true
      frames=$(tr '\r' '\n' <"$out" | grep -o 'frame= *[0-9]*' | tail -1 | tr -dc '0-9') ;;
    gstreamer)
      /usr/bin/time -o "$tm" -f "%e %U %S %M" timeout -s INT "$RUN_SECONDS" gst-launch-1.0 -e -v \
        ximagesrc xid="$WID" show-pointer=false ! "video/x-raw,framerate=$fps/1" ! \
        videoscale method=bilinear ! video/x-raw,width=640,height=360 ! \
        fakesink silent=false sync=false >"$out" 2>&1 || true
      frames=$(grep -c 'last-message = chain' "$out" || true) ;;
  esac
  x1=$(xcpu)
  read -r wall user sys peak < <(tail -1 "$tm")
  echo "$mode $fps $tool $rep ${frames:-0} $(echo "$user + $sys" | bc -l) $(echo "$x1 - $x0" | bc -l) $wall $peak" >>"$RESULTS"
}

IDLE=$WORK/idle.txt
: >"$IDLE"
start_client --size 1280x720 --pos 0,0 --animate 60
ANIMATED=$((WID))

for mode in plain composited; do
  if [ "$mode" = composited ]; then
    xcompmgr >/dev/null 2>&1 &
    PIDS+=("$!")
    sleep 1  # let it redirect and paint the screen once before measuring
  fi
  echo "== $mode: X server idle CPU with the source animating (${IDLE_SECONDS} s)"
  x0=$(xcpu); t0=$(date +%s.%N)
  sleep "$IDLE_SECONDS"
  x1=$(xcpu); t1=$(date +%s.%N)
  echo "$mode $(echo "($x1 - $x0) / ($t1 - $t0)" | bc -l)" >>"$IDLE"
  for fps in 30 60; do
    for tool in mirano ffmpeg gstreamer; do
      for rep in $(seq "$REPS"); do
        WID=$ANIMATED
        run_one "$mode" "$fps" "$tool" "$rep"
        echo "   $(tail -1 "$RESULTS")"
      done
    done
  done
done

# A static window: one frame at start, none afterwards.
start_client --size 1280x720 --pos 300,200 --pattern bars
WID=$((WID))
STATIC_OUT=$("$PROBE" "$WID" --seconds 3 --size 640x360 --fps 60 | sed -n 's/^window=.* frames=\([0-9]*\).*/\1/p')

python3 - "$RESULTS" "$IDLE" "$RUN_SECONDS" "$STATIC_OUT" <<'EOF'
import statistics, sys
results, idle_file, secs, static_frames = sys.argv[1], sys.argv[2], float(sys.argv[3]), sys.argv[4]
idle = {l.split()[0]: float(l.split()[1]) for l in open(idle_file) if l.strip()}
rows = {}
for line in open(results):
    mode, fps, tool, rep, frames, cpu, xcpu, wall, peak = line.split()
    frames, cpu, xcpu, wall, peak = int(frames), float(cpu), float(xcpu), float(wall), int(peak)
    xnet = max(0.0, xcpu - idle[mode] * wall)
    per = lambda v: v * 1000 / frames if frames else float('inf')
    rows.setdefault((mode, int(fps), tool), []).append((frames, per(cpu), per(xnet), per(cpu + xnet), peak))
med = {k: [statistics.median(c) for c in zip(*v)] for k, v in rows.items()}
print()
print("medians of the repetitions; CPU in ms per delivered frame; X = X server net of idle")
print(f"{'mode':<11}{'fps':>4} {'tool':<10}{'frames':>7}{'proc':>8}{'X':>8}{'total':>8}{'peak MB':>9}")
for (mode, fps, tool), (frames, cpu, x, total, peak) in sorted(med.items()):
    print(f"{mode:<11}{fps:>4} {tool:<10}{frames:>7.0f}{cpu:>8.3f}{x:>8.3f}{total:>8.3f}{peak/1024:>9.1f}")
print()
print("ours / better peer (total CPU per frame; target <= 1.0 plain, <= 0.5 composited)")
for mode in ("plain", "composited"):
    for fps in (30, 60):
        ours = med.get((mode, fps, "mirano"))
        peers = [med[k] for k in ((mode, fps, "ffmpeg"), (mode, fps, "gstreamer")) if k in med and med[k][0] > 0]
        if not ours or not peers:
            continue
        best = min(p[3] for p in peers)
        target = 1.0 if mode == "plain" else 0.5
        ratio = ours[3] / best
        print(f"  {mode:<11}{fps:>3} fps: {ratio:.2f}x  (frames {ours[0]:.0f} of {fps * secs:.0f} requested)"
              f"  {'meets' if ratio <= target else 'misses'} the target")
print(f"\nstatic window, 3 s at 60 fps: {static_frames} frame(s) delivered (1 expected)")
EOF
