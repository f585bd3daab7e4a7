#!/usr/bin/env bash
# Headless demonstration: starts a private X display (Xvfb + Openbox + a tray), a sample
# window and Mirano, presses the hotkey (Menu+P) over the sample window, and saves a screenshot
# of the screen with the PiP mirroring the window. Touches none of the user's files.
#
#   scripts/demo.sh [build-dir] [output.png]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
build="${1:-build}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
mirano="$build/mirano"
client="$build/tests/mirano_test_client"
[ -x "$mirano" ] || { echo "demo: $mirano is missing (build first: scripts/build.sh)" >&2; exit 1; }
[ -x "$client" ] || { echo "demo: $client is missing (build with tests: scripts/build.sh)" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/mirano-demo.XXXXXX")"
out="${2:-$work/mirano-demo.png}"
mkdir -p "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset DBUS_SESSION_BUS_ADDRESS

pids=()
cleanup() {
    local status=$?
    # Mirano first, through its normal quit path, then everything else we started.
    for ((i=${#pids[@]}-1; i>=0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    for p in "${pids[@]}"; do
        for _ in $(seq 30); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$p" 2>/dev/null || true
    done
    if [ "$status" -ne 0 ]; then
        echo "demo: failed; logs are in $work" >&2
    elif [ -z "${keep_work:-}" ]; then
        rm -rf "$work"
    fi
}
trap cleanup EXIT

# wait_for DESCRIPTION TIMEOUT_SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
    local what="$1" limit="$2"; shift 2
    local end=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        if [ $SECONDS -ge $end ]; then echo "demo: timed out waiting for $what" >&2; return 1; fi
        sleep 0.1
    done
}

# A free display, chosen by Xvfb itself.
mkfifo "$work/displayfd"
exec 3<>"$work/displayfd"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp +extension Composite +extension DAMAGE \
     +extension RENDER +extension XInputExtension >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 10 number <&3 || { echo "demo: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number"
echo "demo: virtual display $DISPLAY"

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for "the window manager" 10 xprop -root _NET_SUPPORTING_WM_CHECK
xsetroot -solid '#3b4b5c'

eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | {
    read -r address; read -r pid; echo "export DBUS_SESSION_BUS_ADDRESS='$address'; dbus_pid=$pid"; })"
pids+=("$dbus_pid")

trayer --edge top --align right --widthtype request --height 24 --SetDockType true >"$work/trayer.log" 2>&1 &
pids+=($!)

coproc SAMPLE { exec "$client" --title "Sample window" --pattern bars --size 640x400 --pos 160,140; }
pids+=("$SAMPLE_PID")
read -r -t 10 ready wid <&"${SAMPLE[0]}" || { echo "demo: the sample window did not appear" >&2; exit 1; }
echo "demo: sample window $wid"

"$mirano" >"$work/mirano.log" 2>&1 &
mirano_pid=$!
pids+=("$mirano_pid")
wait_for "Mirano's keyboard hotkeys" 20 grep -q "event tap started" "$work/mirano.log"

xdotool windowactivate --sync "$((wid))"
xdotool mousemove --window "$((wid))" 200 150
xdotool keydown Menu key p keyup Menu

# The PiP is Mirano's always-on-top window (and not the small tray icon).
find_pip() {
    for w in $(xdotool search --onlyvisible --classname '^mirano$' 2>/dev/null); do
        xprop -id "$w" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_ABOVE || continue
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$WIDTH" -ge 100 ] && { echo "$w"; return 0; }
    done
    return 1
}
wait_for "the PiP window" 15 find_pip
pip="$(find_pip)"
eval "$(xdotool getwindowgeometry --shell "$pip")"
echo "demo: PiP window $pip at ${X},${Y}, ${WIDTH}x${HEIGHT}"
# Let a few frames arrive before taking the picture.
wait_for "frames in the PiP" 10 bash -c "import -window root -crop 8x8+$((X + 10))+$((Y + HEIGHT / 2)) txt:- | grep -qv '#000000'"

import -window root "$out"
echo "demo: screenshot of the PiP mirroring the sample window: $out"
[ -n "${2:-}" ] || keep_work=1
kill -TERM "$mirano_pid" 2>/dev/null || true
