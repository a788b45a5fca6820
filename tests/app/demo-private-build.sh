#!/bin/bash
# demo-private-build.sh <source dir> <bin dir>: the demo from a checkout that only its owner
# may enter (home folders are 0700 on Debian 12, /root too), on its private Xvfb. The built
# programs are copied below a 0700 folder and the demo runs from there; its summary must say
# connected, every record received and the pen function off at the end. Root only (the
# namespaces, and nobody to run the program as); exits 77 (skipped) otherwise.
set -uo pipefail
source=$1 bin=$2
[ "$(id -u)" -eq 0 ] || { echo "SKIPPED: the demo's namespaces need root"; exit 77; }
command -v Xvfb >/dev/null || { echo "SKIPPED: Xvfb is not installed (package xvfb)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -m 700 "$work/private" && mkdir -p "$work/private/build" && cp -a "$bin" "$work/private/build/"

"$source/scripts/demo.sh" --built --build-dir "$work/private/build" --xvfb --out "$work/demo" \
    >"$work/summary" 2>&1
status=$?
cat "$work/summary"
summary() { sed -n "s/.*$1: *\([0-9a-z]*\).*/\1/p" "$work/summary"; }
sent=$(summary "records sent by the projector")
# The first datagram starts the figure with a press: its record's x and y, high byte first.
read -r _ _ _ _ _ _ _ _ _ button xh xl yh yl _ < <(grep -m1 '^pen-tx' "$work/demo/projector.log")
[ "$status" -eq 0 ] && [ "$(summary connected)" = yes ] && [ "$(summary "off at the end")" = yes ] &&
    [ "${sent:-0}" -gt 0 ] && grep -q "received by the program: *$sent (0 lost, 0 rejected)" "$work/summary" &&
    grep -Eq 'strokes=([1-9][0-9]*) mouse-presses=\1 mouse-moves=[1-9][0-9]* mouse-releases=\1 ' "$work/summary" &&
    [ "$button" = 01 ] && grep -q "stroke 0 mouse .* from $((16#$xh$xl)),$((16#$yh$yl)) " "$work/demo/canvas.log" ||
    { echo "FAIL: the demo from a private build (status $status)"; tail -n 20 "$work/demo/program.log"; exit 1; }
