#!/usr/bin/env bash
# run.sh: 1000 connect and disconnect cycles of the controller against the projector
# simulator, and what they leave behind.
#
#   bench/connect_cycles/run.sh [--build DIR]
#
# Makes a private namespace pair (tools/netns-pair.sh) with the projector simulator at
# 10.77.0.2 (no pen script: nothing but the commands), and runs bench_connect_cycles in the
# computer namespace: the real controller with the real command link and pen thread,
# recording devices that keep nothing, and settings in a temporary folder. It prints the
# open descriptors and the resident memory after the warm-up (cycle 50) and at cycles 250,
# 500, 750 and 1000, with the time per cycle, and fails when the descriptors grew at all,
# the memory grew by more than 96 KiB, a cycle failed, or the simulator's log does not
# hold exactly 1000 pen-on and 1000 pen-off frames. Needs root (namespaces); a few seconds.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$root/build
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$(cd "$2" && pwd); shift 2 ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "connect_cycles: unknown option $1" >&2; exit 2 ;;
    esac
done

bin=$build/bin
[ -x "$bin/bench_connect_cycles" ] && [ -x "$bin/projector-sim" ] ||
    { echo "connect_cycles: build bench_connect_cycles and projector-sim in $build first" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "connect_cycles: needs root (network namespaces)" >&2; exit 1; }

# The bench's verdict comes back through a file: a failing command would make the pair
# print the simulator's whole log, thousands of lines.
work=$(mktemp -d "${TMPDIR:-/tmp}/connect-cycles.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
"$root/tools/netns-pair.sh" --name cycles \
    --projector "$bin/projector-sim --pen-script none --ready-file @READY@" \
    -- env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" \
    bash -c '"$1"; echo $? >"$2"' run "$bin/bench_connect_cycles" "$work/status"
[ -s "$work/status" ] || { echo "connect_cycles: the benchmark did not run" >&2; exit 1; }
exit "$(cat "$work/status")"
