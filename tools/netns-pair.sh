#!/bin/bash
# Runs a command in a private network: two fresh network namespaces joined by a veth pair,
# the "computer" (10.77.0.1/24) and the "projector" (10.77.0.2/24, plus 10.77.0.3 and up
# with --extra). Nothing the command sends can leave this pair: the namespaces have no
# other interface than their own loopback and the veth end, and the veth ends are created
# inside the namespaces, so they never appear on the machine's real network.
#
#   netns-pair.sh [--name NAME] [--extra N] [--projector 'COMMAND'] [--keep] -- COMMAND [ARGS...]
#
#   --name NAME      part of the namespace names (the test's name); the script's pid is
#                    added, so the same test may run twice at once (ctest -j, two builds)
#   --extra N        N more projector addresses on the projector's veth: 10.77.0.3 ...
#   --projector CMD  a shell command started in the background in the projector namespace
#                    before COMMAND (for example the projector simulator). "@READY@" in
#                    it is replaced by the path of a FIFO; the script then waits (up to 10 s)
#                    until the command writes a line into it. Its output goes to the file
#                    named by QR_PROJECTOR_LOG, which is printed when COMMAND fails.
#   --keep           print the namespace names and leave them in place (debugging by hand)
#
# By hand, a shell in the computer namespace with a simulated projector next door:
#   tools/netns-pair.sh --name demo --projector \
#       "build/bin/projector-sim --projector 10.77.0.2,name=Demo --pen-loop --ready-file @READY@" -- bash
#
# COMMAND runs in the computer namespace with these variables:
#   QR_NETNS_COMPUTER, QR_NETNS_PROJECTOR   namespace names (for "ip netns exec")
#   QR_COMPUTER_ADDR                        10.77.0.1
#   QR_PROJECTOR_ADDR                       10.77.0.2
#   QR_PROJECTOR_ADDRS                      all projector addresses, blank-separated
#   QR_NETNS_PREFIX_LEN                     24
#   QR_PROJECTOR_LOG                        output of --projector (when given)
#
# Exit status: COMMAND's, or 77 when the namespaces cannot be made (not root, no "ip"),
# which the test registration maps to "skipped". The namespaces, the veth pair and the
# background command are always removed, also on Ctrl-C and on a ctest time-out.

set -u

name="test"
extra=0
projector_cmd=""
keep=0

usage() { sed -n '2,/^$/p' "$0" | sed 's/^# \{0,1\}//'; }

while [ $# -gt 0 ]; do
    case "$1" in
        --name) name="$2"; shift 2 ;;
        --extra) extra="$2"; shift 2 ;;
        --projector) projector_cmd="$2"; shift 2 ;;
        --keep) keep=1; shift ;;
        -h|--help) usage; exit 0 ;;
        --) shift; break ;;
        *) echo "netns-pair: unknown option $1" >&2; usage >&2; exit 2 ;;
    esac
done
if [ $# -eq 0 ] && [ "$keep" -eq 0 ]; then
    echo "netns-pair: no command given" >&2
    exit 2
fi
case "$extra" in ''|*[!0-9]*) echo "netns-pair: --extra needs a number" >&2; exit 2 ;; esac
if [ "$extra" -gt 200 ]; then echo "netns-pair: --extra at most 200" >&2; exit 2; fi

skip() {
    echo "******************************************************************" >&2
    echo "*** SKIPPED: $name needs network namespaces: $*" >&2
    echo "*** (run as root with iproute2 installed; CI does)" >&2
    echo "******************************************************************" >&2
    exit 77
}

[ "$(id -u)" -eq 0 ] || skip "not running as root"
command -v ip >/dev/null 2>&1 || skip "the 'ip' tool (iproute2) is missing"

# Namespace names: letters, digits, '-' and '_' only; kept short for readability.
safe=$(printf '%s' "$name" | tr -c 'A-Za-z0-9_-' '_' | cut -c1-32)
ns_c="qrt-${safe}-$$-c"
ns_p="qrt-${safe}-$$-p"

# Namespaces of earlier runs that were killed outright (SIGKILL gives no chance to clean up)
# are recognised by the pid in their name no longer being alive.
for ns in $(ip netns list 2>/dev/null | awk '{print $1}' | grep '^qrt-.*-[0-9]*-[cp]$'); do
    pid=${ns%-[cp]}
    pid=${pid##*-}
    if ! kill -0 "$pid" 2>/dev/null; then
        ip netns del "$ns" 2>/dev/null
    fi
done

workdir=$(mktemp -d "${TMPDIR:-/tmp}/qr-netns.XXXXXX")
bg_pid=""
test_pid=""

cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    if [ -n "$test_pid" ]; then
        kill -TERM "$test_pid" 2>/dev/null
        wait "$test_pid" 2>/dev/null
    fi
    if [ -n "$bg_pid" ]; then
        # Its own session: the whole group goes, also children of a shell command.
        kill -TERM -- "-$bg_pid" 2>/dev/null
        wait "$bg_pid" 2>/dev/null
    fi
    if [ "$keep" -eq 0 ]; then
        # Deleting a namespace also deletes the veth end inside it, and with it the pair.
        ip netns del "$ns_c" 2>/dev/null
        ip netns del "$ns_p" 2>/dev/null
    fi
    rm -rf "$workdir"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

ip netns add "$ns_c" 2>/dev/null || skip "cannot create namespace $ns_c"
ip netns add "$ns_p" 2>/dev/null || skip "cannot create namespace $ns_p"
# Both ends are created directly inside their namespaces.
ip link add pc0 netns "$ns_c" type veth peer name pj0 netns "$ns_p" \
    || { echo "netns-pair: cannot create the veth pair" >&2; exit 77; }
ip -n "$ns_c" link set lo up
ip -n "$ns_p" link set lo up
ip -n "$ns_c" addr add 10.77.0.1/24 broadcast 10.77.0.255 dev pc0
ip -n "$ns_p" addr add 10.77.0.2/24 broadcast 10.77.0.255 dev pj0
projector_addrs="10.77.0.2"
i=0
while [ "$i" -lt "$extra" ]; do
    addr="10.77.0.$((i + 3))"
    ip -n "$ns_p" addr add "$addr/24" broadcast 10.77.0.255 dev pj0
    projector_addrs="$projector_addrs $addr"
    i=$((i + 1))
done
ip -n "$ns_c" link set pc0 up
ip -n "$ns_p" link set pj0 up
# Addresses are usable only after duplicate address detection (IPv6) and the link coming
# up; IPv4 needs no DAD, but the veth carrier must be up before the first packet.
ip -n "$ns_c" -4 addr show dev pc0 | grep -q 10.77.0.1 || { echo "netns-pair: no address" >&2; exit 1; }

export QR_NETNS_COMPUTER="$ns_c"
export QR_NETNS_PROJECTOR="$ns_p"
export QR_COMPUTER_ADDR="10.77.0.1"
export QR_PROJECTOR_ADDR="10.77.0.2"
export QR_PROJECTOR_ADDRS="$projector_addrs"
export QR_NETNS_PREFIX_LEN="24"

if [ "$keep" -eq 1 ]; then
    echo "computer namespace:  $ns_c (10.77.0.1)"
    echo "projector namespace: $ns_p ($projector_addrs)"
    echo "remove with: ip netns del $ns_c; ip netns del $ns_p"
fi

if [ -n "$projector_cmd" ]; then
    export QR_PROJECTOR_LOG="$workdir/projector.log"
    ready="$workdir/ready"
    cmd="$projector_cmd"
    if [ "${cmd#*@READY@}" != "$cmd" ]; then
        mkfifo "$ready"
        cmd=${cmd//@READY@/$ready}
    fi
    setsid ip netns exec "$ns_p" bash -c "exec $cmd" >"$QR_PROJECTOR_LOG" 2>&1 &
    bg_pid=$!
    if [ -p "$ready" ]; then
        # Opened for reading and writing, the FIFO does not block on open; the read blocks
        # until the projector command writes its line (or the time runs out).
        exec 3<>"$ready"
        if ! read -r -t 10 -u 3 _; then
            echo "netns-pair: the projector command did not get ready: $projector_cmd" >&2
            cat "$QR_PROJECTOR_LOG" >&2
            exit 1
        fi
        exec 3<&-
    fi
fi

if [ $# -eq 0 ]; then
    # --keep without a command: leave everything for work by hand.
    trap - EXIT
    [ -n "$bg_pid" ] && echo "projector command pid: $bg_pid, output: $QR_PROJECTOR_LOG"
    exit 0
fi

if [ -t 0 ]; then
    # By hand (an interactive shell, say): in the foreground, so it owns the terminal.
    ip netns exec "$ns_c" "$@"
    status=$?
else
    # In the background, so that a TERM (ctest's time-out) reaches the trap at once.
    ip netns exec "$ns_c" "$@" &
    test_pid=$!
    wait "$test_pid"
    status=$?
    test_pid=""
fi
if [ "$status" -ne 0 ] && [ "$status" -ne 77 ] && [ -n "$projector_cmd" ]; then
    echo "---- projector output ($projector_cmd) ----" >&2
    cat "$QR_PROJECTOR_LOG" >&2
    echo "---- end of projector output ----" >&2
fi
exit "$status"
