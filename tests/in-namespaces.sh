#!/bin/sh
# Starts a suite in namespaces of its own:
#   --offline      a fresh network namespace: only a loopback that is down, no route;
#   --private-opt  a mount namespace whose /opt is an empty tmpfs, where the suite may put a
#                  stand-in WPS for Linux; the machine's /opt is never written.
# Making them needs root; without it the suite runs here and skips what needs them, saying why.
net=
mnt=
while [ $# -gt 0 ]; do
    case "$1" in
    --offline) net=--net ;;
    --private-opt) mnt=--mount ;;
    *) break ;;
    esac
    shift
done
if [ "$(id -u)" -ne 0 ]; then
    exec "$@"
fi
if [ -z "$mnt" ]; then
    exec unshare $net "$@"
fi
# unshare makes every mount private first, so the tmpfs stays inside the namespace.
exec unshare $net --mount --propagation private sh -c 'mount -t tmpfs -o mode=0755 corvanta-opt /opt && exec "$@"' sh "$@"
