# shellcheck shell=bash
# Shared by the desktops' suites (sourced, not run): a throw-away user (when run as root), its
# private session bus and a real PipeWire with WirePlumber, bounded waits that end in one line,
# and the cleanup of everything started, whatever happens.
# The suite sets DESKTOP (its name: the user's and folders' prefix) before sourcing this.

DT_PIDS=()            # every process started, stopped in reverse order at exit
DT_CLEANUPS=()        # further commands run at exit
DT_USER="" DT_CREATED=0 DT_HOME="" DT_RUNTIME=""
DT_LOGS=""            # set by the suite: where the session's logs are kept after a run

# One line on stderr, then the suite fails.
dt_fail() {
    echo "FAIL ($DESKTOP): $*${DT_LOGS:+ (logs in $DT_LOGS)}" >&2
    exit 1
}
# One line, then the suite is skipped: it cannot run here.
dt_skip() { echo "SKIP ($DESKTOP): $*" >&2; exit 77; }
dt_log() { printf '[%s %5ss] %s\n' "$DESKTOP" "$SECONDS" "$*"; }

# dt_wait SECONDS WHAT COMMAND...: waits until COMMAND succeeds, at most SECONDS; fails with
# "WHAT did not happen" otherwise.
dt_wait() {
    local limit=$1 what=$2 end=$((SECONDS + $1))
    shift 2
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$end" ] || dt_fail "$what: not within ${limit}s"
        sleep 0.3
    done
}

# dt_never SECONDS WHAT COMMAND...: fails with WHAT if COMMAND succeeds within SECONDS.
dt_never() {
    local end=$((SECONDS + $1)) what=$2
    shift 2
    while [ "$SECONDS" -lt "$end" ]; do
        ! "$@" >/dev/null 2>&1 || dt_fail "$what"
        sleep 0.3
    done
}

dt_cleanup() {
    set +e
    local i j
    # One at a time, the last started first: clients end before their compositor and buses.
    for ((i = ${#DT_PIDS[@]} - 1; i >= 0; i--)); do
        kill -TERM "${DT_PIDS[i]}" 2>/dev/null || continue
        for ((j = 0; j < 50; j++)); do
            kill -0 "${DT_PIDS[i]}" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "${DT_PIDS[i]}" 2>/dev/null
    done
    # Whatever the throw-away user's programs started themselves (D-Bus activated services):
    # all its processes are ours.
    [ $DT_CREATED -eq 0 ] || ps -o pid= -u "$DT_USER" | xargs -r kill -KILL 2>/dev/null
    for cmd in "${DT_CLEANUPS[@]}"; do eval "$cmd"; done
    if [ -n "$DT_LOGS" ] && [ -n "$DT_RUNTIME" ]; then
        rm -rf "$DT_LOGS" && mkdir -p "$DT_LOGS" && cp "$DT_RUNTIME"/*.log "$DT_LOGS/" 2>/dev/null
    fi
    if [ $DT_CREATED -eq 1 ]; then
        userdel "$DT_USER" >/dev/null 2>&1
        rm -rf "$DT_HOME"
    fi
    [ -z "$DT_RUNTIME" ] || rm -rf "$DT_RUNTIME"
}

# Makes the user the desktop runs as (a throw-away one when root: CI runs as root, and the
# desktops refuse root or would write to root's home) and its runtime directory.
dt_user() {
    trap dt_cleanup EXIT
    trap 'exit 1' INT TERM
    if [ "$(id -u)" -eq 0 ]; then
        # Users left by runs that were killed before their cleanup: their pid is in the name.
        local name
        for name in $(getent passwd | cut -d: -f1 | grep "^mirano-${DESKTOP}[0-9]*$"); do
            kill -0 "${name#mirano-"$DESKTOP"}" 2>/dev/null && continue
            ps -o pid= -u "$name" | xargs -r kill -KILL 2>/dev/null
            userdel -r "$name" >/dev/null 2>&1
        done
        DT_USER="mirano-$DESKTOP$$"
        useradd -m -s /bin/sh "$DT_USER" || dt_fail "useradd $DT_USER failed"
        DT_CREATED=1
        DT_AS=(setpriv --reuid="$DT_USER" --regid="$(id -g "$DT_USER")" --init-groups
            --pdeathsig=TERM --)
    else
        DT_USER=$(id -un)
    fi
    DT_HOME=$(getent passwd "$DT_USER" | cut -d: -f6)
    DT_RUNTIME=$(mktemp -d "/tmp/mirano-$DESKTOP.XXXXXX")
    chown "$DT_USER:" "$DT_RUNTIME" && chmod 700 "$DT_RUNTIME" || dt_fail "no runtime directory"
    export HOME=$DT_HOME USER=$DT_USER LOGNAME=$DT_USER XDG_RUNTIME_DIR=$DT_RUNTIME
    export LANG=C.UTF-8 PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin
    export XDG_CONFIG_HOME=$DT_RUNTIME/config XDG_STATE_HOME=$DT_RUNTIME/state
    export XDG_CACHE_HOME=$DT_RUNTIME/cache XDG_DATA_HOME=$DT_RUNTIME/data
    dt_as mkdir -p "$XDG_CONFIG_HOME" "$XDG_STATE_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"
}

# dt_as COMMAND...: runs COMMAND as the user, in the exported environment. setpriv execs it, so
# a background job's pid is the program's own, and it gets SIGTERM should the suite die.
dt_as() { "${DT_AS[@]}" "$@"; }
DT_AS=()

# dt_start LOG COMMAND...: starts COMMAND as the user in the background, its output in LOG;
# stopped at exit. Its pid is in DT_PID.
dt_start() {
    local log=$1
    shift
    "${DT_AS[@]}" "$@" >"$log" 2>&1 &
    DT_PID=$!
    DT_PIDS+=("$DT_PID")
}

dt_alive() { kill -0 "$1" 2>/dev/null; }

# A session bus of the user's own that admits the user only (the runtime directory is closed to
# everyone else).
dt_bus() {
    local socket=$DT_RUNTIME/bus
    cat >"$DT_RUNTIME/bus.conf" <<EOF
<busconfig>
  <type>session</type>
  <listen>unix:path=$socket</listen>
  <auth>EXTERNAL</auth>
  <standard_session_servicedirs/>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    chown "$DT_USER:" "$DT_RUNTIME/bus.conf"
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$socket
    dt_start "$DT_RUNTIME/dbus.log" dbus-daemon --nofork --nosyslog \
        --config-file="$DT_RUNTIME/bus.conf"
    dt_wait 10 "the session bus started" test -S "$socket"
}

# dt_has_name NAME: whether NAME is owned on the session bus.
dt_has_name() {
    dt_as dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}

# PipeWire and WirePlumber; ready once the session manager is a client of the daemon.
dt_pipewire() {
    export PIPEWIRE_DEBUG=0 WIREPLUMBER_DEBUG=0
    dt_start "$DT_RUNTIME/pipewire.log" pipewire
    dt_wait 10 "pipewire started" test -S "$DT_RUNTIME/pipewire-0"
    dt_start "$DT_RUNTIME/wireplumber.log" wireplumber
    dt_wait 15 "wireplumber joined pipewire" dt_wireplumber_up
}
dt_wireplumber_up() { dt_as pw-cli ls Client | grep -q '"WirePlumber"'; }
