#!/bin/sh
# Starts a suite in a PID namespace of its own, with its own /proc: it sees and can signal only the
# processes it started, never a copy of the tool that another job on the machine is using.
#   in-namespaces.sh [--offline] [--outside-copy EXECUTABLE] SUITE [ARGS...]
# --offline: a network namespace too, only a loopback that is down, no route.
# --outside-copy: first starts EXECUTABLE (offscreen, a home of its own) outside the namespaces, as
# that other job's copy, and fails the run unless it is still running when the suite has ended.
# Making namespaces needs root; without it the suite runs here (the offline ones then skip, saying why).
offline="" outside=""
while :; do
    case "$1" in
    --offline) offline="--net"; shift ;;
    --outside-copy) outside="$2"; shift 2 ;;
    *) break ;;
    esac
done
if [ "$(id -u)" -ne 0 ]; then
    exec "$@"
fi
# When a living (not zombie) process started: the same process, not a later one with its number.
started() {
    awk '{ sub(/.*\) /, ""); if ($1 != "Z") print $20 }' "/proc/$1/stat" 2>/dev/null
}
if [ -n "$outside" ]; then
    outside_home="$(mktemp -d)"
    HOME="$outside_home" XDG_CONFIG_HOME="$outside_home/.config" QT_QPA_PLATFORM=offscreen "$outside" >/dev/null 2>&1 &
    outside_pid=$!
    sleep 1
    outside_started="$(started "$outside_pid")"
    if [ -z "$outside_started" ]; then
        echo "FAIL: the copy of the tool meant to run outside the suite's namespace did not start" >&2
        exit 1
    fi
fi
# A shell as the namespace's first process reaps what the suite leaves orphaned; --kill-child ends
# the namespace with its parent when the run is stopped.
unshare --pid --fork --mount-proc --kill-child $offline sh -c '"$@"; exit $?' sh "$@"
status=$?
if [ -n "$outside" ]; then
    if [ "$(started "$outside_pid")" = "$outside_started" ]; then
        kill "$outside_pid"
    else
        echo "FAIL: the copy of the tool outside the suite's namespace ($outside_pid) was ended" >&2
        status=1
    fi
    wait "$outside_pid" 2>/dev/null
    rm -rf "$outside_home"
fi
exit $status
