# Sourced by the benchmarks and the Wayland demo: a private Xvfb + Openbox or a private headless
# sway with PipeWire, our test client windows, the stand-in portal and frame producer, Mirano on
# Wayland, CPU readings, and stopping everything the script started. Expects WORK (a scratch
# folder) and, for the X11 test client, CLIENT; for Wayland PORTAL, PRODUCER and MIRANO.

PIDS=()
SESSION_USER="" SESSION_RUN=""
bench_cleanup() {
  trap '' INT TERM  # a second signal must not cut the cleanup short
  # Stop only what this script started, newest first.
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do kill "${PIDS[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WORK"
  [ -n "$SESSION_RUN" ] && rm -rf "$SESSION_RUN"
  if [ -n "$SESSION_USER" ]; then
    userdel "$SESSION_USER" 2>/dev/null || true
    rm -rf "/home/$SESSION_USER"
  fi
}
trap bench_cleanup EXIT
trap 'exit 130' INT  # so that an interrupted script cleans up too
trap 'exit 143' TERM

stop() { kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; }

# CPU seconds of all threads of a process, to the nanosecond (clock ticks are too coarse for
# a few milliseconds per second over a few seconds).
cpu_of() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ ns += $1 } END { printf "%.6f", ns / 1e9 }'; }

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

# "${AS_USER[@]}" [NAME=VALUE...] PROGRAM ARGS... runs a program as the session's user with the
# session's environment (and nothing else of ours), as the very process we started (so that its
# pid is the program's), told to stop when we go. Set by start_wayland_session.
AS_USER=()
user_file() {  # NAME: standard input into a file of the session's user in its runtime directory
  cat >"$SESSION_RUN/$1"
  [ -z "$SESSION_USER" ] || chown "$SESSION_USER:" "$SESSION_RUN/$1"
}
wireplumber_ready() { "${AS_USER[@]}" pw-cli ls Client 2>/dev/null | grep -q '"WirePlumber"'; }

wait_for() {  # TENTHS COMMAND...: true once the command succeeds, within TENTHS tenths of a second
  local n=$1
  shift
  for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done
  return 1
}

# start_wayland_session WxH@RATE: what the Wayland tests run in (tests/support/WaylandSession),
# in shell: a throw-away user when we are root (compositors refuse root), a private runtime
# directory and session bus (which admits us too), PipeWire with WirePlumber, and sway on the
# headless backend with the pixman renderer and one output of that mode. Sets SWAY_PID and
# exports WAYLAND_DISPLAY (a full path, usable by us) and SWAYSOCK.
start_wayland_session() {
  SESSION_NAME=$(id -un) SESSION_HOME=$HOME
  if [ "$(id -u)" -eq 0 ]; then
    SESSION_USER=mirano-t$$  # the tests' prefix: their runs remove it should we be killed
    useradd -m -s /bin/sh "$SESSION_USER"
    SESSION_NAME=$SESSION_USER SESSION_HOME=/home/$SESSION_USER
  fi
  SESSION_RUN=$(mktemp -d /tmp/mirano-runtime.XXXXXX)
  chmod 700 "$SESSION_RUN"
  [ -z "$SESSION_USER" ] || chown "$SESSION_USER:" "$SESSION_RUN"
  [ -z "$SESSION_USER" ] || AS_USER=(setpriv --reuid="$SESSION_USER" --regid="$SESSION_USER"
    --init-groups --pdeathsig=TERM --)
  AS_USER+=(env -i HOME="$SESSION_HOME" USER="$SESSION_NAME" LOGNAME="$SESSION_NAME"
    PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin LANG=C.UTF-8 XDG_RUNTIME_DIR="$SESSION_RUN"
    XDG_CONFIG_HOME="$SESSION_RUN/config" XDG_STATE_HOME="$SESSION_RUN/state"
    XDG_CACHE_HOME="$SESSION_RUN/cache" XDG_DATA_HOME="$SESSION_RUN/data"
    DBUS_SESSION_BUS_ADDRESS="unix:path=$SESSION_RUN/bus" PIPEWIRE_DEBUG=0 WIREPLUMBER_DEBUG=0)
  user_file bus.conf <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:path=$SESSION_RUN/bus</listen><auth>EXTERNAL</auth>
  <policy context="default"><allow user="$SESSION_NAME"/><allow user="$(id -un)"/>
    <allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/>
  </policy></busconfig>
CONF
  "${AS_USER[@]}" dbus-daemon --nofork --nosyslog --config-file="$SESSION_RUN/bus.conf" >/dev/null 2>&1 &
  PIDS+=("$!")
  wait_for 200 test -S "$SESSION_RUN/bus" || { echo "the session bus did not start"; exit 1; }
  "${AS_USER[@]}" pipewire >/dev/null 2>&1 &
  PIDS+=("$!")
  wait_for 200 test -S "$SESSION_RUN/pipewire-0" || { echo "pipewire did not start"; exit 1; }
  "${AS_USER[@]}" wireplumber >/dev/null 2>&1 &
  PIDS+=("$!")
  # The session manager is up once it is a client of the daemon.
  wait_for 200 wireplumber_ready || { echo "wireplumber did not start"; exit 1; }
  # No bar, borders or gaps; every window floats at the size it asks for, as a PiP would.
  printf '%s\n' "output HEADLESS-1 resolution $1 position 0 0" "default_border none" \
    "default_floating_border none" "focus_follows_mouse no" "xwayland disable" \
    'for_window [shell="xdg_shell"] floating enable' | user_file sway.conf
  "${AS_USER[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$SESSION_RUN/sway.conf" >"$WORK/sway.log" 2>&1 &
  SWAY_PID=$!
  PIDS+=("$SWAY_PID")
  local sockets=()
  for _ in $(seq 200); do
    sockets=("$SESSION_RUN"/wayland-? "$SESSION_RUN"/sway-ipc.*.sock)
    [ -S "${sockets[0]}" ] && [ -S "${sockets[1]}" ] && break
    sleep 0.1
  done
  export WAYLAND_DISPLAY=${sockets[0]} SWAYSOCK=${sockets[1]}
  wait_for 200 swaymsg -t get_outputs >/dev/null 2>&1 || { echo "sway did not start"; cat "$WORK/sway.log"; exit 1; }
}

lines() { local n; n=$(grep -c "$1" "$2" 2>/dev/null) || true; echo "${n:-0}"; }  # PATTERN FILE
more_lines() { [ "$(lines "$1" "$2")" -gt "$3" ]; }  # PATTERN FILE COUNT: more lines than COUNT

# start_portal: the stand-in ScreenCast portal (tests/wayland/ScreenCastPortalStandIn.cpp) on the
# session bus, the one service that cannot run here (its dialog asks a user). tell_portal
# COMMAND... tells it, on its standard input, e.g. which node it hands out.
start_portal() {
  mkfifo "$WORK/portal.in"
  "${AS_USER[@]}" "$PORTAL" <"$WORK/portal.in" >"$WORK/portal.out" 2>/dev/null &
  PIDS+=("$!")
  exec {PORTAL_IN}>"$WORK/portal.in"
  wait_for 200 grep -q '^ready' "$WORK/portal.out" || { echo "the portal did not start"; exit 1; }
}
tell_portal() {
  local before
  before=$(lines '^ok' "$WORK/portal.out")
  echo "$*" >&"$PORTAL_IN"
  wait_for 100 more_lines '^ok' "$WORK/portal.out" "$before" || { echo "the portal refused: $*"; exit 1; }
}

# start_producer W H [ARGS...]: the test frame producer's window-sized stream, as a compositor
# makes one; sets PRODUCER_PID and NODE.
start_producer() {
  "${AS_USER[@]}" "$PRODUCER" "window-$1x$2" "$1" "$2" "${@:3}" >"$WORK/producer.out" 2>/dev/null &
  PRODUCER_PID=$!
  PIDS+=("$PRODUCER_PID")
  wait_for 100 grep -q '^node' "$WORK/producer.out" || { echo "the producer did not start"; exit 1; }
  NODE=$(sed -n 's/^node //p' "$WORK/producer.out" | head -1)
}

# focus_app APP_ID: asks sway to focus that app's window; true once it has the focus.
focus_app() {
  swaymsg "[app_id=\"^$1\$\"] focus" >/dev/null 2>&1 || true
  swaymsg "[app_id=\"^$1\$\" con_id=__focused__] nop" >/dev/null 2>&1
}

# Our clients (Mirano, test windows) run as us with folders of their own under $WORK, like the
# integration tests' clients: "${CLIENT_ENV[@]}" PROGRAM ARGS...
client_environment() {
  mkdir -p "$WORK/home/config/mirano" "$WORK/run"
  chmod 700 "$WORK/run"
  CLIENT_ENV=(env -i HOME="$WORK/home" PATH="$PATH" LANG=C.UTF-8 XDG_RUNTIME_DIR="$WORK/run"
    XDG_CONFIG_HOME="$WORK/home/config" XDG_STATE_HOME="$WORK/home/state"
    XDG_CACHE_HOME="$WORK/home/cache" DBUS_SESSION_BUS_ADDRESS="unix:path=$SESSION_RUN/bus"
    WAYLAND_DISPLAY="$WAYLAND_DISPLAY" QT_QPA_PLATFORM=wayland PIPEWIRE_RUNTIME_DIR="$SESSION_RUN")
}

# start_mirano_wayland: `mirano` with MIRANO_BACKEND=wayland, its output in $WORK/mirano.out,
# once it listens; sets MPID. Without a tray it opens its settings window, which takes the focus:
# that is closed.
start_mirano_wayland() {
  "${CLIENT_ENV[@]}" MIRANO_BACKEND=wayland "$MIRANO" >"$WORK/mirano.out" 2>&1 &
  MPID=$!
  PIDS+=("$MPID")
  wait_for 200 grep -q "event tap started" "$WORK/mirano.out" || { echo "Mirano did not start"; cat "$WORK/mirano.out"; exit 1; }
  if wait_for 50 sh -c 'swaymsg -t get_tree | grep -q "\"app_id\": \"mirano\""'; then
    swaymsg '[app_id="^mirano$"] kill' >/dev/null
  fi
}
