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
[ -x "$client" ] || { echo "demo: $client is missing (cmake --build $build --target mirano_test_client)" >&2; exit 1; }

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

# wait_for DESCRIPTION TIMEOUT_SECONDS COMMAND...: polls until the command succeeds. The bounds
# only catch a demo that is truly stuck (a cold font cache on a loaded machine takes many
# seconds); a program of ours that ends meanwhile fails the wait at once.
watched=()
wait_for() {
    local what="$1" limit="$2"; shift 2
    local end=$((SECONDS + limit))
    until "$@" >/dev/null 2>&1; do
        for w in "${watched[@]}"; do
            kill -0 "${w%%:*}" 2>/dev/null && continue
            echo "demo: ${w#*:} ended while waiting for $what" >&2; return 1
        done
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
read -r -t 60 number <&3 || { echo "demo: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$number"
export MIRANO_BACKEND=x11  # the virtual display, even inside a Wayland session
echo "demo: virtual display $DISPLAY"

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
watched+=("$!:the window manager")
# Openbox sets _NET_SUPPORTING_WM_CHECK as soon as it owns the screen, but maps no window until
# it has loaded its theme and fonts: seconds on a fresh machine (a cold font cache) or under
# load. A window mapped meanwhile stays unseen, which is why the sample window used to "not
# appear". Openbox publishes _OB_THEME when it has loaded them, just before it manages windows.
wm_ready() { xprop -root _OB_THEME | grep -q '='; }
wait_for "the window manager" 120 wm_ready
xsetroot -solid '#3b4b5c'

eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | {
    read -r address; read -r pid; echo "export DBUS_SESSION_BUS_ADDRESS='$address'; dbus_pid=$pid"; })"
pids+=("$dbus_pid")

trayer --edge top --align right --widthtype request --height 24 --SetDockType true >"$work/trayer.log" 2>&1 &
pids+=($!)

coproc SAMPLE { exec "$client" --title "Sample window" --pattern bars --size 640x400 --pos 160,140; }
pids+=("$SAMPLE_PID")
sample_out="${SAMPLE[0]}"
watched+=("$SAMPLE_PID:the sample window's program")
# It prints "ready <window>" once the window manager has mapped its window.
wid=""
sample_ready() { [ -n "$wid" ] || read -r -t 0.5 ready wid <&"$sample_out" || true; [ -n "$wid" ]; }
wait_for "the sample window" 60 sample_ready
echo "demo: sample window $wid"

"$mirano" >"$work/mirano.log" 2>&1 &
mirano_pid=$!
pids+=("$mirano_pid")
watched+=("$mirano_pid:Mirano")
wait_for "Mirano's keyboard hotkeys" 60 grep -q "event tap started" "$work/mirano.log"

timeout 30 xdotool windowactivate --sync "$((wid))"
xdotool mousemove --window "$((wid))" 200 150

# The PiP is Mirano's always-on-top window (and not the small tray icon).
find_pip() {
    for w in $(xdotool search --onlyvisible --classname '^mirano$' 2>/dev/null); do
        xprop -id "$w" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_ABOVE || continue
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$WIDTH" -ge 100 ] && { echo "$w"; return 0; }
    done
    return 1
}
# The hotkeys listen as soon as Mirano says so, but its key grabs follow a moment later: a
# press that comes first goes to the window. Press again only while no PiP has come.
for attempt in 1 2 3; do
    xdotool keydown Menu key p keyup Menu
    wait_for "the PiP window" 10 find_pip && break
    [ "$attempt" -lt 3 ] || exit 1
    echo "demo: no PiP yet; pressing the hotkey again"
done
pip="$(find_pip)"
eval "$(xdotool getwindowgeometry --shell "$pip")"
echo "demo: PiP window $pip at ${X},${Y}, ${WIDTH}x${HEIGHT}"
# Let a few frames arrive before taking the picture.
wait_for "frames in the PiP" 30 bash -c "import -window root -crop 8x8+$((X + 10))+$((Y + HEIGHT / 2)) txt:- | grep -qv '#000000'"

import -window root "$out"
echo "demo: screenshot of the PiP mirroring the sample window: $out"
[ -n "${2:-}" ] || keep_work=1
kill -TERM "$mirano_pid" 2>/dev/null || true
