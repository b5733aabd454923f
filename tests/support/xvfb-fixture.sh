#!/usr/bin/env bash
# One Xvfb display server shared by the X11 test suites of a ctest run: start, run a suite on it, stop.
#
#   xvfb-fixture.sh start <state-dir> <Xvfb>   starts the server and returns once it accepts connections
#   xvfb-fixture.sh run <state-dir> <command...>   runs the command with DISPLAY set to that server
#   xvfb-fixture.sh stop <state-dir>           stops the server
#
# Xvfb picks a free display number itself (-displayfd) and writes it only once it is listening, so
# parallel runs, other users' servers and a slow machine cannot hand a suite a display that is taken
# or not ready yet. -noreset keeps the server as it is between suites: by default an X server
# resets whenever its last client leaves, and a suite connecting during that reset fails.
set -euo pipefail

readonly start_deadline_s=60

usage()
{
    echo "usage: $0 start <state-dir> <Xvfb> | run <state-dir> <command...> | stop <state-dir>" >&2
    exit 2
}

# A process's start time, which tells a recorded server from a later process given the same pid.
start_time()
{
    awk '{ print $22 }' "/proc/$1/stat" 2>/dev/null || true
}

# Stops the server recorded in the state folder (one left behind by an interrupted run too).
stop_server()
{
    local state=$1 pid started
    [ -f "$state/pid" ] || return 0
    read -r pid started <"$state/pid" || true
    if [ -n "$pid" ] && [ -n "$started" ] && [ "$(start_time "$pid")" = "$started" ]; then
        kill "$pid" 2>/dev/null || true
    fi
    rm -f "$state/pid" "$state/display"
}

[ $# -ge 2 ] || usage
command=$1
state=$2
shift 2

case $command in
start)
    [ $# -eq 1 ] || usage
    xvfb=$1
    mkdir -p "$state"
    stop_server "$state"
    rm -f "$state/displayfd"
    mkfifo "$state/displayfd"
    # The server gets its own session so that it outlives this script, and files for its output so
    # that ctest does not wait on pipes it holds open.
    setsid "$xvfb" -displayfd 3 -noreset -nolisten tcp -screen 0 640x480x24 \
        3>"$state/displayfd" </dev/null >"$state/xvfb.log" 2>&1 &
    pid=$!
    echo "$pid $(start_time "$pid")" >"$state/pid"
    # A server that fails closes the pipe without writing, which ends the read at once.
    number=
    read -r -t "$start_deadline_s" number <"$state/displayfd" || true
    rm -f "$state/displayfd"
    if ! [[ $number =~ ^[0-9]+$ ]]; then
        echo "xvfb-fixture: Xvfb reported no display (it failed, or took over ${start_deadline_s} s); its output:" >&2
        cat "$state/xvfb.log" >&2
        stop_server "$state"
        exit 1
    fi
    echo ":$number" >"$state/display"
    echo "xvfb-fixture: Xvfb (pid $pid) is ready on display :$number"
    ;;
run)
    [ $# -ge 1 ] || usage
    if [ ! -f "$state/display" ]; then
        echo "xvfb-fixture: no display server in $state; ctest starts it with the suite's fixture" >&2
        exit 1
    fi
    DISPLAY=$(cat "$state/display")
    export DISPLAY
    exec "$@"
    ;;
stop)
    [ $# -eq 0 ] || usage
    stop_server "$state"
    ;;
*)
    usage
    ;;
esac
