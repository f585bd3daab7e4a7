#!/usr/bin/env bash
# Mirano on KDE's real screen-cast portal, end to end: a headless KWin 5.27 with
# xdg-desktop-portal and xdg-desktop-portal-kde, a real PipeWire and WirePlumber, all as a
# throw-away user on a private session bus. Only the person at the portal's dialog is stood in
# for (driver.py, through AT-SPI). Usage: run.sh BUILD_DIR (an ASan build with the tools).
# Exit 0 passed, 77 cannot run here (one line why), else failed (one line what).
set -euo pipefail
DESKTOP=kde
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
# shellcheck source=tests/desktops/lib.sh
source "$here/../lib.sh"

mirano=$build/mirano
window=$build/tests/wayland/mirano_wayland_test_window
driver=$here/driver.py
{ [ -x "$mirano" ] && [ -x "$window" ]; } || dt_skip "build $build first (mirano and its test window)"

# --- Packages: KWin, the portals and what the portal's dialog loads; AT-SPI for the driver.
PACKAGES=(
    kwin-wayland xdg-desktop-portal xdg-desktop-portal-kde qtwayland5 libgl1-mesa-dri
    pipewire pipewire-bin wireplumber dbus at-spi2-core python3-pyatspi gir1.2-atspi-2.0
    python3-dbus python3-gi
    qml-module-qtquick-controls2 qml-module-qtquick-layouts qml-module-qtquick-window2
    qml-module-qtgraphicaleffects qml-module-org-kde-kirigami2 qml-module-org-kde-pipewire
    qml-module-org-kde-kquickcontrolsaddons libtaskmanager6abi1 libkpipewire5
    plasma-wayland-protocols libwayland-dev gcc
)
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    [ "$(id -u)" -eq 0 ] || dt_skip "needs root to install: ${missing[*]}"
    dt_log "installing ${missing[*]}"
    apt-get -o DPkg::Lock::Timeout=900 update -qq
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
        --no-install-recommends "${missing[@]}" >/dev/null || dt_fail "apt-get install failed"
fi
# What the dialog loads of plasma-workspace (its system dialog and the look-and-feel package
# that draws it, the task manager's windows), unpacked beside the build: installing
# plasma-workspace would pull some 160 packages.
plasma=$build/desktops/kde/plasma
look=share/plasma/look-and-feel/org.kde.breeze.desktop
if [ ! -f "$plasma/$look/metadata.json" ]; then
    debs=$build/desktops/kde/debs
    rm -rf "$debs" "$plasma" && mkdir -p "$debs" "$plasma/plugins/kpackage" "$plasma/share"
    (cd "$debs" && apt-get download plasma-workspace plasma-workspace-data >/dev/null 2>&1) ||
        dt_skip "apt-get download plasma-workspace failed (no package source?)"
    for deb in "$debs"/*.deb; do dpkg-deb -x "$deb" "$debs/root"; done
    qt5=$debs/root/usr/lib/x86_64-linux-gnu/qt5
    cp -r "$qt5/qml" "$plasma/qml"
    cp -r "$qt5/plugins/kpackage/packagestructure" "$plasma/plugins/kpackage/"
    mkdir -p "$plasma/$(dirname "$look")"
    cp -r "$debs/root/usr/$look" "$plasma/$look"
    rm -rf "$debs"
fi

# The click of the driver, through KWin's fake-input protocol.
click=$build/desktops/kde/fake-click
if [ ! -x "$click" ] || [ "$here/fake-click.c" -nt "$click" ]; then
    xml=/usr/share/plasma-wayland-protocols/fake-input.xml
    gen=$build/desktops/kde/gen
    mkdir -p "$gen"
    wayland-scanner client-header "$xml" "$gen/fake-input-client-protocol.h" &&
        wayland-scanner private-code "$xml" "$gen/fake-input-protocol.c" &&
        cc -O1 -Wall -Wextra -Werror -I"$gen" -o "$click" "$here/fake-click.c" \
            "$gen/fake-input-protocol.c" -lwayland-client || dt_fail "fake-click did not build"
fi
export DRIVER_CLICK=$click

# --- The session.
DT_LOGS=$build/desktops/kde/logs
dt_user
dt_bus
dt_start "$DT_RUNTIME/atspi.log" /usr/libexec/at-spi-bus-launcher --launch-immediately
dt_wait 10 "the accessibility bus started" dt_has_name org.a11y.Bus
dt_pipewire

kwin_dir=$DT_RUNTIME/kwin
dt_as mkdir -p "$kwin_dir"
# A copy without the packaged file capability (a plain user may not exec that here); it keeps
# its name, as KWin's platform plugin loads only into a program called kwin_wayland.
cp /usr/bin/kwin_wayland "$kwin_dir/kwin_wayland" && chown "$DT_USER:" "$kwin_dir/kwin_wayland"
# No decorations (Breeze is not installed): a window is its client area.
printf '[org.kde.kdecoration2]\nNoPlugin=true\n' | dt_as tee "$XDG_CONFIG_HOME/kwinrc" >/dev/null
export XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland
WIDTH=1280 HEIGHT=800
KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 \
    LIBGL_ALWAYS_SOFTWARE=1 dt_start "$DT_RUNTIME/kwin.log" "$kwin_dir/kwin_wayland" --virtual \
    --width $WIDTH --height $HEIGHT --socket wayland-kwin --no-lockscreen
dt_wait 30 "kwin_wayland started" dt_has_name org.kde.KWin
export WAYLAND_DISPLAY=wayland-kwin

# The portals: the KDE backend with Qt's accessibility on (for the driver), and the frontend
# pinned to it alone.
portals=$DT_RUNTIME/portals
dt_as mkdir -p "$portals"
dt_as cp /usr/share/xdg-desktop-portal/portals/kde.portal "$portals/"
QT_QPA_PLATFORM=wayland QML2_IMPORT_PATH=$plasma/qml QT_PLUGIN_PATH=$plasma/plugins \
    XDG_DATA_DIRS=$plasma/share:/usr/local/share:/usr/share QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    QT_ACCESSIBILITY=1 dt_start "$DT_RUNTIME/portal-kde.log" \
    /usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde
dt_wait 20 "xdg-desktop-portal-kde started" dt_has_name org.freedesktop.impl.portal.desktop.kde
XDG_DESKTOP_PORTAL_DIR=$portals dt_start "$DT_RUNTIME/portal.log" /usr/libexec/xdg-desktop-portal
dt_wait 20 "xdg-desktop-portal started" dt_has_name org.freedesktop.portal.Desktop

# KDE_SUITE_HOLD=1: the desktop is kept for an hour to be tried by hand, its environment in a file.
[ -z "${KDE_SUITE_HOLD:-}" ] || { env >"$DT_RUNTIME/env"; echo "held: $DT_RUNTIME/env"; sleep 3600; }

# --- Witnesses and hands.
drv() { dt_as timeout 60 /usr/bin/python3 "$driver" "$@"; }
window_of() { echo "workspace.clientList().find(w => String(w.resourceClass) == '$1')"; }
has_window() { [ "$(drv kwin "!!$(window_of "$1")")" = true ]; }
no_window() { ! has_window "$1"; }
gone() { ! kill -0 "$1" 2>/dev/null; }
focus() {
    drv kwin "(w => { if (w) workspace.activeClient = w; return !!w; })($(window_of "$1"))" >/dev/null
    dt_wait 10 "$1 took the focus" is_active "$1"
}
is_active() { [ "$(drv active)" = "$1" ]; }
dialog_open() { [ "$(drv dialogs)" -ge 1 ]; }
no_dialog() { [ "$(drv dialogs)" -eq 0 ]; }
two_dialogs() { [ "$(drv dialogs)" -ge 2 ]; }
restored_or_asked() { dialog_open || shows "$@"; }
# What the last look for the PiP saw is kept with the logs.
shows() { drv shows "$@" >"$DT_RUNTIME/pip-seen.log" 2>&1; }
# Nothing of that colour where the PiP would be.
shows_none() {
    local rc=0
    shows "$@" || rc=$?
    [ $rc -eq 1 ]
}
shows_some() {
    local rc=0
    shows "$@" || rc=$?
    [ $rc -eq 0 ] || [ $rc -eq 3 ]
}
# No stream node of Mirano's in PipeWire (pw-dump answered).
no_stream() {
    local nodes
    nodes=$(dt_as timeout 10 pw-dump) && [ -n "$nodes" ] && ! grep -q "Mirano window capture" <<<"$nodes"
}
mirano_lines() { wc -l <"$mirano_log"; }
new_lines() { [ "$(mirano_lines)" -gt "$1" ]; }

# --- Two windows to mirror, of known colours and shapes; A changes colour on a line to it.
A=kdetest-a B=kdetest-b
colour_a='#c03020' colour_a2='#20a040' colour_b='#2040c0'
fifo=$DT_RUNTIME/a.colours
dt_as mkfifo "$fifo"
exec 3<>"$fifo"
# Qt draws no decorations of its own: the windows are their colour, edge to edge.
export QT_WAYLAND_DISABLE_WINDOWDECORATION=1
QT_QPA_PLATFORM=wayland "${DT_AS[@]}" "$window" "$A" "$colour_a" 600x240 <"$fifo" >"$DT_RUNTIME/a.log" 2>&1 &
DT_PIDS+=($!)
DT_CLEANUPS+=("exec 3>&-")
QT_QPA_PLATFORM=wayland dt_start "$DT_RUNTIME/b.log" "$window" "$B" "$colour_b" 300x400
dt_wait 20 "the test window $A opened" has_window "$A"
dt_wait 20 "the test window $B opened" has_window "$B"

# --- Mirano, as a user starts it, with the PiP in the bottom-right corner.
export MIRANO_BACKEND=wayland
# The slow unwinder: a report's stack goes on through libraries built without frame pointers.
export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:abort_on_error=0:fast_unwind_on_malloc=0
export LSAN_OPTIONS=suppressions=$here/../../sanitizers/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
dt_as mkdir -p "$XDG_CONFIG_HOME/mirano"
echo '{"pipPosition": "bottomRight"}' | dt_as tee "$XDG_CONFIG_HOME/mirano/defaults.json" >/dev/null
runs=0
start_mirano() {
    runs=$((runs + 1))
    mirano_log=$DT_RUNTIME/mirano-$runs.log
    QT_QPA_PLATFORM=wayland dt_start "$mirano_log" "$mirano"
    mirano_pid=$DT_PID
    # Without a tray it opens its settings window, which a person would close.
    dt_wait 40 "Mirano started and opened its settings" has_window mirano
    drv kwin "workspace.clientList().filter(w => String(w.resourceClass) == 'mirano').forEach(w => w.closeWindow())" >/dev/null
    dt_wait 10 "Mirano's settings window closed" no_window mirano
}
stop_mirano() {
    kill -TERM "$mirano_pid"
    dt_wait 20 "Mirano quit on SIGTERM" gone "$mirano_pid"
}
toggle() {
    QT_QPA_PLATFORM=wayland dt_as timeout 20 "$mirano" --toggle >>"$DT_RUNTIME/toggles.log" 2>&1 ||
        dt_fail "mirano --toggle failed"
}

# --- 1. One request at a time: a second toggle while the dialog is open opens no second one,
# and the answer that comes after it starts nothing and says nothing.
start_mirano
focus "$A"
dt_log "toggle: the portal's dialog"
toggle
dt_wait 30 "the portal's dialog opened on --toggle" dialog_open
before=$(mirano_lines)
toggle
dt_never 3 "a second --toggle opened a second dialog" two_dialogs
if dialog_open; then
    dt_log "the withdrawn dialog is still open: answered late"
    drv share "$A" || dt_fail "the driver could not answer the withdrawn dialog"
fi
dt_never 5 "the answer to a withdrawn request started a PiP" shows_some "$A" "$colour_a"
no_stream || dt_fail "the answer to a withdrawn request left a stream node"
[ "$(mirano_lines)" -eq "$before" ] ||
    dt_fail "the withdrawn request printed: $(tail -n +$((before + 1)) "$mirano_log" | head -3)"

# --- 2. The person cancels: one line says so, no PiP opens and no stream is left.
focus "$A"
dt_log "toggle: cancelled in the dialog"
before=$(mirano_lines)
toggle
dt_wait 30 "the portal's dialog opened on --toggle" dialog_open
drv cancel || dt_fail "the driver could not cancel the dialog"
dt_wait 10 "Mirano said the dialog was cancelled" new_lines "$before"
dt_never 3 "a cancelled dialog started a PiP" shows_some "$A" "$colour_a"
no_stream || dt_fail "a cancelled dialog left a stream node"

# --- 3. The consent given: the PiP shows the focused window, in its shape, live; the focus
# stays with the window.
focus "$A"
dt_log "toggle: shared in the dialog"
toggle
dt_wait 30 "the portal's dialog opened on --toggle" dialog_open
drv share "$A" || dt_fail "the driver could not answer the dialog"
dt_wait 30 "the PiP showed $A ($colour_a, its shape)" shows "$A" "$colour_a"
# The look tells shapes apart: this PiP is not in the shape of B.
rc=0
shows "$B" "$colour_a" || rc=$?
[ $rc -eq 3 ] || dt_fail "the PiP's shape was not told from another ($rc)"
is_active "$A" || dt_fail "the focus went from $A to $(drv active)"
echo "$colour_a2" >&3
dt_wait 10 "the PiP followed $A's change of colour" shows "$A" "$colour_a2"
dt_log "toggle: closed"
toggle
dt_wait 10 "the PiP closed on --toggle" shows_none "$A" "$colour_a2"
dt_wait 10 "Mirano's stream node went with the PiP" no_stream
[ -s "$XDG_STATE_HOME/mirano/screencast-tokens.json" ] || dt_fail "no consent token was kept"

# --- 4. After a restart the consent is restored without a dialog.
stop_mirano
start_mirano
focus "$A"
dt_log "toggle after a restart: restored"
toggle
dt_wait 30 "neither the restored PiP nor a dialog showed" restored_or_asked "$A" "$colour_a2"
no_dialog || dt_fail "a dialog opened for a consent that was kept"
dt_wait 10 "the restored PiP showed $A" shows "$A" "$colour_a2"
toggle
dt_wait 10 "the PiP closed on --toggle" shows_none "$A" "$colour_a2"
dt_wait 10 "Mirano's stream node went with the PiP" no_stream

# --- 5. The consent is per application: another window asks again, and shows in its own
# (portrait) shape.
focus "$B"
dt_log "toggle on another application: the dialog again"
toggle
dt_wait 30 "the portal's dialog opened for $B, whose consent was never given" dialog_open
drv share "$B" || dt_fail "the driver could not answer the dialog"
dt_wait 30 "the PiP showed $B ($colour_b, its shape)" shows "$B" "$colour_b"
toggle
dt_wait 10 "the PiP closed on --toggle" shows_none "$B" "$colour_b"
dt_wait 10 "Mirano's stream node went with the PiP" no_stream
stop_mirano

# --- 6. Nothing a sanitizer found, in Mirano or its --toggle clients.
for log in "$DT_RUNTIME"/mirano-*.log "$DT_RUNTIME/toggles.log"; do
    ! grep -q -E 'ERROR: (Address|Leak)Sanitizer|runtime error:' "$log" ||
        dt_fail "a sanitizer report in $(basename "$log"): $(grep -m1 -E 'Sanitizer|runtime error' "$log")"
done
dt_log "passed"
