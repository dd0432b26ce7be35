#!/usr/bin/env bash
# A private, headless sound server for tests: PipeWire with a null sink as the default output,
# in its own runtime folder, so that it needs no desktop session and disturbs nothing else.
#
#   sound-server.sh start DIR   starts it; DIR/env then holds the variables its clients need
#                               (source it), DIR/pids the process ids
#   sound-server.sh stop DIR    stops exactly those processes, by process id
#
# Exit status: 0 started or stopped, 1 failure, 77 PipeWire is not installed.
set -euo pipefail

usage() { echo "usage: sound-server.sh start|stop DIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
action=$1
dir=$(realpath -m "$2")

wait_for() {  # wait_for SECONDS COMMAND...: polls until COMMAND succeeds
    local deadline=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
}

stop_server() {
    [ -f "$dir/pids" ] || return 0
    # Reverse order of start: the clients of a server go before it.
    tac "$dir/pids" | while read -r pid; do
        kill "$pid" 2>/dev/null || true
    done
    tac "$dir/pids" | while read -r pid; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    done
    rm -f "$dir/pids"
}

start_daemon() {  # start_daemon NAME COMMAND...: runs in the background, logs to DIR/NAME.log
    local name=$1; shift
    "$@" >"$dir/$name.log" 2>&1 &
    echo $! >>"$dir/pids"
}

start_server() {
    for tool in pipewire wireplumber pipewire-pulse pactl dbus-daemon; do
        if ! command -v "$tool" >/dev/null; then
            echo "sound-server: $tool is not installed" >&2
            exit 77
        fi
    done
    mkdir -p "$dir/runtime"
    chmod 700 "$dir/runtime"
    : >"$dir/pids"
    export XDG_RUNTIME_DIR="$dir/runtime"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
    export PIPEWIRE_RUNTIME_DIR="$XDG_RUNTIME_DIR"
    export PULSE_RUNTIME_PATH="$XDG_RUNTIME_DIR/pulse"
    dbus-daemon --session --fork --address="$DBUS_SESSION_BUS_ADDRESS" --print-pid >"$dir/dbus.pid"
    cat "$dir/dbus.pid" >>"$dir/pids"
    start_daemon pipewire pipewire
    wait_for 10 test -S "$XDG_RUNTIME_DIR/pipewire-0" || fail "pipewire did not start"
    start_daemon wireplumber wireplumber
    start_daemon pipewire-pulse pipewire-pulse
    wait_for 10 pactl info || fail "pipewire-pulse did not answer"
    pactl load-module module-null-sink sink_name=nullsink >/dev/null || fail "no null sink"
    # The sink appears, and the session manager accepts a default, a moment after the load.
    wait_for 10 sh -c 'pactl list short sinks | grep -qw nullsink' || fail "null sink missing"
    wait_for 10 sh -c 'pactl set-default-sink nullsink && pactl get-default-sink | grep -qx nullsink' \
        || fail "null sink not made default"
    cat >"$dir/env" <<ENV
export XDG_RUNTIME_DIR='$XDG_RUNTIME_DIR'
export DBUS_SESSION_BUS_ADDRESS='$DBUS_SESSION_BUS_ADDRESS'
export PIPEWIRE_RUNTIME_DIR='$PIPEWIRE_RUNTIME_DIR'
export PULSE_RUNTIME_PATH='$PULSE_RUNTIME_PATH'
ENV
}

fail() {
    echo "sound-server: $*" >&2
    stop_server
    exit 1
}

case "$action" in
    start) start_server ;;
    stop) stop_server ;;
    *) usage ;;
esac
