# Sourced by the benchmarks: a private Xvfb + Openbox, our test client windows, and stopping
# everything the benchmark started. Expects WORK (a scratch folder) and CLIENT (the test client).

PIDS=()
bench_cleanup() {
  # Stop only what this script started, newest first.
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill "${PIDS[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap bench_cleanup EXIT

# start_session WxH: Xvfb on a free display (it tells us which) with Openbox once it manages
# the screen; sets XPID and DISPLAY.
start_session() {
  exec {dfd}<> <(:)
  Xvfb -displayfd "$dfd" -screen 0 "$1x24" -nolisten tcp +extension Composite \
    +extension DAMAGE +extension RENDER >/dev/null 2>&1 &
  XPID=$!
  PIDS+=("$XPID")
  read -r -t 10 -u "$dfd" DISPNUM
  export DISPLAY=":$DISPNUM"
  export MIRANO_BACKEND=x11  # the virtual display, even inside a Wayland session
  openbox --sm-disable >/dev/null 2>&1 &
  PIDS+=("$!")
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
  done
}

# start_test_client args...: a test client window; sets WID (as it prints it, 0x...),
# CLIENT_PID and CLIENT_IN (its standard input, kept open).
start_test_client() {
  local fifo=$WORK/client.$RANDOM
  mkfifo "$fifo.in"
  "$CLIENT" "$@" <"$fifo.in" >"$fifo.out" 2>/dev/null &
  CLIENT_PID=$!
  PIDS+=("$CLIENT_PID")
  exec {CLIENT_IN}>"$fifo.in"
  WID=""
  for _ in $(seq 100); do
    WID=$(sed -n 's/^ready //p' "$fifo.out" 2>/dev/null | head -1)
    [ -n "$WID" ] && break
    sleep 0.1
  done
  [ -n "$WID" ] || { echo "test client did not start"; exit 1; }
}
