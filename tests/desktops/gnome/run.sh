#!/usr/bin/env bash
# GNOME end to end: a headless gnome-shell (Mutter) with its real screen-cast portal
# (xdg-desktop-portal-gnome) and a real PipeWire, as a throw-away user. Mirano mirrors a portrait
# window picked in GNOME's own Screen Share dialog; only the person at the dialog is stood in for
# (dialog.py, through the accessibility bus). Checked through the shell itself (its unsafe mode):
# the PiP shows the whole window in its shape, live; the keyboard focus stays on the window the
# user works in; a second toggle while the dialog is open opens no second one and its late answer
# says nothing; no stream node of Mirano's is left after a close; no sanitizer report.
# Usage: run.sh BUILD_DIR (an ASan build with mirano). Exit 0 passed, 77 cannot run here.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source=$(cd "$here/../../.." && pwd)
build=${1:?usage: run.sh BUILD_DIR}
build=$(cd "$build" && pwd)
mirano=$build/mirano

skip() { echo "gnome: cannot run here: $*"; exit 77; }
fail() { echo "gnome: FAILED: $*"; exit 1; }
[ -x "$mirano" ] || fail "no $mirano (build Mirano first)"
[ "$(id -u)" -eq 0 ] || skip "needs root (it installs GNOME's packages and makes a throw-away user)"

# --- Packages -----------------------------------------------------------------------------
packages=(gnome-shell xdg-desktop-portal xdg-desktop-portal-gnome xdg-desktop-portal-gtk
    pipewire pipewire-bin wireplumber dbus libglib2.0-bin at-spi2-core python3-pyatspi
    python3-gi python3-gi-cairo gir1.2-gtk-3.0 gir1.2-atspi-2.0 gir1.2-gdkpixbuf-2.0 qt6-wayland)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "gnome: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    { apt-get -o DPkg::Lock::Timeout=900 update -qq &&
        apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}"; } \
        >/dev/null || skip "apt-get could not install ${missing[*]}"
fi

# --- The throw-away user and its folders --------------------------------------------------
work=$(mktemp -d /tmp/mirano-gnome.XXXXXX)
chmod 755 "$work"
user=mirano-g$$
pids=()
cleanup() {
    local rc=$?
    trap - EXIT INT TERM
    # The processes started here first (by id), then any the buses started for the user.
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    sleep 1
    for pid in "${pids[@]}" $(ps -o pid= -u "$user" 2>/dev/null); do kill -9 "$pid" 2>/dev/null; done
    wait 2>/dev/null
    if id "$user" >/dev/null 2>&1; then
        userdel "$user" 2>/dev/null
        rm -rf "/home/$user"
    fi
    if [ "$rc" -ne 0 ] && [ "$rc" -ne 77 ]; then
        echo "gnome: logs:"
        for f in "$work"/logs/*.log; do echo "--- $(basename "$f")"; tail -n 40 "$f"; done
    fi
    rm -rf "$work"
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
useradd -m -s /bin/sh "$user" || skip "useradd failed"
uid=$(id -u "$user") gid=$(id -g "$user")
runtime=$work/runtime
mkdir -p "$runtime" "$work/logs" "$work/portals" "$work/shots"
chown "$user:" "$runtime" "$work/shots"
chmod 700 "$runtime"
# The portals this test is about, and no other desktop's.
cp /usr/share/xdg-desktop-portal/portals/{gnome,gtk}.portal "$work/portals/"

cat >"$work/system.conf" <<EOF
<busconfig>
  <type>system</type>
  <listen>unix:path=$runtime/system_bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/>
  </policy>
</busconfig>
EOF

env_vars=(HOME="/home/$user" USER="$user" LOGNAME="$user" LANG=C.UTF-8
    PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin XDG_RUNTIME_DIR="$runtime"
    DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus"
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$runtime/system_bus"
    WAYLAND_DISPLAY=wayland-0 XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=GNOME
    XDG_DESKTOP_PORTAL_DIR="$work/portals" GDK_BACKEND=wayland QT_QPA_PLATFORM=wayland
    LIBGL_ALWAYS_SOFTWARE=1 PIPEWIRE_DEBUG=0 WIREPLUMBER_DEBUG=0)
as_user() { setpriv --reuid="$uid" --regid="$gid" --init-groups -- env -i "${env_vars[@]}" "$@"; }
# Starts a program as the user in the background, its output in logs/NAME.log; its pid (the
# subshell becomes the program) in $pids.
start() {
    local name=$1; shift
    (exec setpriv --reuid="$uid" --regid="$gid" --init-groups -- env -i "${env_vars[@]}" "$@") \
        >>"$work/logs/$name.log" 2>&1 &
    pids+=($!)
}
# wait_until SECONDS WHAT COMMAND...: fails with one line when COMMAND is not true in time,
# with what COMMAND last saw when it put that in $seen.
wait_until() {
    local seconds=$1 what=$2; shift 2
    local end=$((SECONDS + seconds))
    seen=
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $end ] || fail "$what within $seconds s${seen:+ (seen: $seen)}"
        sleep 0.25
    done
}

# --- The session --------------------------------------------------------------------------
start system-bus dbus-daemon --nofork --nopidfile --config-file="$work/system.conf"
start session-bus dbus-daemon --nofork --nopidfile --session --address="unix:path=$runtime/bus"
wait_until 10 "the buses did not start" test -S "$runtime/system_bus" -a -S "$runtime/bus"
start pipewire pipewire
wait_until 10 "PipeWire did not start" test -S "$runtime/pipewire-0"
start wireplumber wireplumber
# shell_eval JS: what the shell's Eval returns (its JSON), failing when the shell refuses.
shell_eval() {
    local out
    out=$(as_user gdbus call --session --timeout 10 --dest org.gnome.Shell \
        --object-path /org/gnome/Shell --method org.gnome.Shell.Eval "$1" 2>&1) || return 1
    [[ $out == "(true, '"* ]] || return 1
    out=${out#"(true, '"}
    printf '%s\n' "${out%"')"}"
}
shell_is() { [ "$(shell_eval "$1")" = "$2" ]; }
# gnome-shell 43 now and then hangs while it starts, in the fork of a program it spawns (ibus),
# waiting for a child that never execs: its stacks go to its log, and it is started again.
start_shell() {
    local end=$((SECONDS + 60)) child
    start gnome-shell gnome-shell --headless --wayland --no-x11 --virtual-monitor 1280x800 --unsafe-mode
    shell_pid=${pids[-1]}
    until shell_is "Main.layoutManager._startingUp" false; do
        if [ $SECONDS -ge $end ]; then
            { echo "== gnome-shell hung while starting; its stacks and children:"
                command -v gdb >/dev/null &&
                    timeout 60 gdb -p "$shell_pid" -batch -ex "thread apply all bt" 2>&1
                ps -o pid,stat,wchan:30,args --ppid "$shell_pid"; } >>"$work/logs/gnome-shell.log"
            for child in $(ps -o pid= --ppid "$shell_pid") "$shell_pid"; do kill -9 "$child"; done
            rm -f "$runtime"/wayland-0*
            return 1
        fi
        sleep 0.25
    done
}
start_shell || { echo "gnome: gnome-shell hung while starting; started again"; start_shell; } ||
    { echo "gnome: gnome-shell hung while starting; started again"; start_shell; } ||
    fail "gnome-shell did not start, three times (its log has its stacks)"
# No animations to wait for; the overview, shown at start, hidden: windows are what is tested.
shell_eval "imports.gi.St.Settings.get().inhibit_animations(); Main.overview.hide(); true" >/dev/null
wait_until 20 "the overview did not hide" shell_is "Main.overview.visible" false

start portal-gnome /usr/libexec/xdg-desktop-portal-gnome
start portal-gtk /usr/libexec/xdg-desktop-portal-gtk
start portal /usr/libexec/xdg-desktop-portal
bus_has() { as_user gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "$1" | grep -q true; }
wait_until 30 "xdg-desktop-portal-gnome did not take its name" bus_has org.freedesktop.impl.portal.desktop.gnome
wait_until 30 "xdg-desktop-portal did not take its name" bus_has org.freedesktop.portal.Desktop

# --- The user's window --------------------------------------------------------------------
title="Mirano test pattern"
windows_js="global.get_window_actors().map(a => a.meta_window)"
focused_js="global.display.focus_window ? global.display.focus_window.get_title() : ''"
start window python3 "$here/pattern_window.py" "$title" 400 674
window_pid=${pids[-1]}
window_js="$windows_js.filter(w => w.get_title() == '$title')[0]"
wait_until 20 "the test window did not get the focus" shell_is "$focused_js" "\"$title\""
# At the left, out of the PiP's way.
shell_eval "$window_js.move_frame(true, 0, 0); true" >/dev/null

# --- Mirano -------------------------------------------------------------------------------
home=/home/$user
as_user mkdir -p "$home/.config/mirano"
echo '{"pipPosition": "topRight"}' | as_user tee "$home/.config/mirano/defaults.json" >/dev/null
# The sanitizer options of the tests; the slow unwinder, so that the leaks of Qt's Wayland
# plugin, made through libwayland's frames, reach Qt's and match their suppressions.
env_vars+=(MIRANO_BACKEND=wayland
    ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:abort_on_error=0:fast_unwind_on_malloc=0
    LSAN_OPTIONS=suppressions=$source/tests/sanitizers/lsan.supp:print_suppressions=0
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1)
log=$work/logs/mirano.log
start mirano "$mirano"
mirano_pid=${pids[-1]}
# Without a tray it opens its settings window: closed, and the focus given back to the user's
# window, before the test begins.
settings_js="$windows_js.filter(w => w.get_title() == 'Mirano Settings')"
wait_until 60 "Mirano's settings window did not open" shell_is "$settings_js.length" 1
wait_until 10 "Mirano did not print its start line" grep -q "^Wayland (GNOME)" "$log"
shell_eval "$settings_js.forEach(w => w.delete(global.get_current_time())); true" >/dev/null
shell_eval "$window_js.activate(global.get_current_time()); true" >/dev/null
wait_until 10 "the test window did not get the focus back" shell_is "$focused_js" "\"$title\""

toggle() { as_user timeout 20 "$mirano" --toggle >>"$work/logs/toggle.log" 2>&1 || fail "mirano --toggle failed"; }
dialog() { as_user python3 "$here/dialog.py" "$@"; }
dialogs_are() { [ "$(dialog count)" = "$1" ]; }
pip_js="$windows_js.filter(w => w.get_wm_class() == 'mirano' && w.get_title() != 'Mirano Settings')"
# The PiP's frame on the screen: x y width height.
pip_rect() {
    shell_eval "$pip_js.map(w => { const r = w.get_frame_rect(); return [r.x, r.y, r.width, r.height].join(' '); })[0]" |
        tr -d '"'
}
stream_left() { as_user pw-dump 2>/dev/null | grep -q "Mirano window capture"; }
no_stream_left() { ! stream_left; }
gone() { ! kill -0 "$1" 2>/dev/null || [[ $(ps -o stat= -p "$1") == Z* ]]; }
sanitizer_said() { grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$log"; }

# The whole window in its shape: a portrait PiP, the window's three bands and white ends in it.
portrait() {
    seen=$(pip_rect)
    read -r x y w h <<<"$seen"
    awk -v w="$w" -v h="$h" 'BEGIN { r = w / h / (400 / 674); exit !(r > 0.97 && r < 1.03) }'
}
# shows POINT=COLOUR...: the PiP on the screen has those colours at those points (fractions).
shows() {
    local points=() colours=() pair
    for pair in "$@"; do points+=("${pair%=*}"); colours+=("${pair#*=}"); done
    read -r x y w h <<<"$(pip_rect)"
    rm -f "$work/shots/pip.png"
    as_user gdbus call --session --dest org.gnome.Shell.Screenshot \
        --object-path /org/gnome/Shell/Screenshot --method org.gnome.Shell.Screenshot.ScreenshotArea \
        "$x" "$y" "$w" "$h" false "$work/shots/pip.png" >/dev/null || return 1
    seen=$(as_user python3 "$here/pixels.py" "$work/shots/pip.png" "${points[@]}" | paste -sd ' ')
    [ "$seen" = "${colours[*]}" ]
}
whole=(0.5,0.05=red 0.5,0.5=green 0.04,0.5=white 0.96,0.5=white)
bottom=blue

# open_pip ROUND: a toggle, the user's window picked in the dialog, and the PiP showing all of it.
open_pip() {
    toggle
    offered=$(dialog windows 30) || fail "$1: GNOME's Screen Share dialog did not offer the windows"
    # Mirano's own PiP is not among them: it is shown only once it has a picture.
    [ "$offered" = "$title" ] ||
        fail "$1: the dialog offered other windows than the user's: $(echo "$offered" | paste -sd '|')"
    dialog share "$title" 15 || fail "$1: could not pick the window in the dialog"
    wait_until 30 "$1: no PiP appeared" shell_is "$pip_js.length" 1
    # The witness of the close sees the stream while it runs.
    wait_until 10 "$1: pw-dump shows no stream of Mirano's while the PiP is open" stream_left
    # Moved aside, so that the picture on the screen is the PiP's and not the window under it.
    read -r x y w h <<<"$(pip_rect)"
    shell_eval "$pip_js[0].move_frame(true, 1280 - $w - 20, 20); true" >/dev/null
    wait_until 15 "$1: the PiP did not take the window's shape (400x674)" portrait
    wait_until 15 "$1: the PiP does not show the whole window" shows "${whole[@]}" "0.5,0.95=$bottom"
    echo "gnome: $1: the PiP shows the whole window in its shape ($w x $h)"
}
# close_pip ROUND: a toggle closes the PiP and releases its stream.
close_pip() {
    toggle
    wait_until 15 "$1: the PiP did not close" shell_is "$pip_js.length" 0
    wait_until 15 "$1: a stream node of Mirano's was left after the close" no_stream_left
    echo "gnome: $1: the PiP closed, no stream left"
}

# --- The PiP of the dialog's pick, live, and the keyboard focus ------------------------------
open_pip first
# Kept on the user's window, or else Mirano says at start that it is taken.
focused=$(shell_eval "$focused_js")
if [ "$focused" != "\"$title\"" ]; then
    grep -q "^Wayland (GNOME):.*the PiP takes the keyboard focus when it opens" "$log" ||
        fail "the PiP took the keyboard focus (now on $focused) and Mirano's start line does not say so"
    echo "gnome: the PiP took the keyboard focus, as Mirano's start line says"
else
    echo "gnome: the keyboard focus stayed on the user's window"
fi
kill -USR1 "$window_pid"
bottom=yellow
wait_until 15 "the PiP did not show the window's change" shows "${whole[@]}" "0.5,0.95=$bottom"
echo "gnome: the PiP is live"
close_pip first

# --- One dialog at a time -----------------------------------------------------------------
toggle
dialog windows 30 >/dev/null || fail "the second Screen Share dialog did not open"
toggle
# The second toggle withdraws the request: never a second dialog, and the first one goes or
# is cancelled with nothing said.
for _ in $(seq 12); do
    n=$(dialog count)
    [ "$n" -le 1 ] || fail "a second toggle during the dialog opened another one ($n dialogs)"
    sleep 0.25
done
said=$(wc -l <"$log")
if [ "$(dialog count)" -eq 1 ]; then
    echo "gnome: the withdrawn request's dialog stayed; cancelled"
    dialog cancel 10 || fail "could not cancel the dialog"
fi
wait_until 15 "the withdrawn dialog stayed open" dialogs_are 0
sleep 2
late=$(tail -n +"$((said + 1))" "$log")
[ -z "$late" ] || fail "the withdrawn request's answer was told: $late"
[ "$(shell_eval "$pip_js.length")" = 0 ] || fail "the withdrawn request opened a PiP"
echo "gnome: a second toggle withdrew the dialog's request, quietly"

# --- Again: each PiP of the same Mirano in the window's shape --------------------------------
for round in second third; do
    open_pip "$round"
    close_pip "$round"
done

# --- Mirano's end: no sanitizer report ------------------------------------------------------
kill -TERM "$mirano_pid"
wait_until 30 "Mirano did not quit on SIGTERM" gone "$mirano_pid"
sanitizer_said && fail "a sanitizer reported in Mirano's log: $(grep -m1 -E 'Sanitizer|runtime error' "$log")"
echo "gnome: passed"
