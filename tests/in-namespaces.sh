#!/bin/sh
# Starts a suite in namespaces of its own. Always a PID namespace with its own /proc (and so a mount
# namespace): the suite sees and can signal only the processes it started, never another suite's
# stand-in WPS and never a copy of the tool that another job on the machine is using.
#   in-namespaces.sh [--offline] [--private-opt] [--private-etc] [--outside-copy EXECUTABLE] SUITE [ARGS...]
# --offline: a network namespace too, only a loopback that is down, no route.
# --private-opt: /opt is an empty tmpfs, where the suite may put a stand-in WPS for Linux; the
#   machine's /opt is never written.
# --private-etc: /etc is an overlay whose changes stay in a tmpfs, with an empty
#   /etc/corvanta-manager where the suite writes the managed policy the tool reads from its fixed
#   place; the machine's /etc is never written.
# --outside-copy: first starts EXECUTABLE (offscreen, a home of its own) outside the namespaces, as
#   that other job's copy, and fails the run unless it is still running when the suite has ended.
# Making namespaces needs root; without it the suite runs here and skips what needs them, saying why.
offline="" private_opt="" private_etc="" outside=""
while :; do
    case "$1" in
    --offline) offline="--net"; shift ;;
    --private-opt) private_opt=1; shift ;;
    --private-etc) private_etc=1; shift ;;
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
# A runtime directory of its own: sockets that desktop services put there (the accessibility bus,
# among them) would otherwise be one path for every suite on the machine, and a suite ending would
# take another's away.
runtime="$(mktemp -d)"
chmod 700 "$runtime"
export XDG_RUNTIME_DIR="$runtime"
# A shell as the namespace's first process reaps what the suite leaves orphaned; --kill-child ends
# the namespace with its parent when the run is stopped. unshare makes every mount private first,
# so the tmpfs stays inside.
PRIVATE_OPT="$private_opt" PRIVATE_ETC="$private_etc" unshare --pid --fork --mount-proc --propagation private --kill-child $offline sh -c '
    if [ -n "$PRIVATE_OPT" ]; then mount -t tmpfs -o mode=0755 corvanta-opt /opt || exit 1; fi
    if [ -n "$PRIVATE_ETC" ]; then
        layer="$XDG_RUNTIME_DIR/etc-layer"
        mkdir "$layer" && mount -t tmpfs -o mode=0755 corvanta-etc "$layer" && mkdir "$layer/upper" "$layer/work" &&
            mount -t overlay -o "lowerdir=/etc,upperdir=$layer/upper,workdir=$layer/work" corvanta-etc /etc &&
            rm -rf /etc/corvanta-manager && mkdir /etc/corvanta-manager || exit 1
    fi
    unset PRIVATE_OPT PRIVATE_ETC
    "$@"; exit $?' sh "$@"
status=$?
rm -rf "$runtime"
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
