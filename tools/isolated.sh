#!/usr/bin/env bash
# Runs a test in a network namespace of its own, which has nothing but a loopback device,
# so that the program under test cannot reach the machine's network whatever it tries.
# Exits 77 (ctest's skip code) when no namespace can be made.
set -u
if [ "$(id -u)" -eq 0 ]; then
    exec unshare --net -- bash -c 'ip link set lo up && exec "$@"' isolated "$@"
fi
if unshare --user --map-root-user --net -- true 2>/dev/null; then
    exec unshare --user --map-root-user --net -- bash -c 'ip link set lo up && exec "$@"' isolated "$@"
fi
echo "SKIPPED: cannot create a private network namespace (run as root)" >&2
exit 77
