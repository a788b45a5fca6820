#!/bin/bash
# check-pen-canvas.sh <pen-canvas>: a smoke run of the demo canvas under with-xvfb.sh. It
# must come on screen, record one drag made through the X server as a mouse stroke, and end
# cleanly on SIGTERM with its summary. Exits 77 (skipped) without xdotool.
set -euo pipefail
if ! command -v xdotool >/dev/null; then
    echo "SKIPPED: xdotool is not installed (package xdotool)"
    exit 77
fi
work=$(mktemp -d)
canvas=
trap '[ -n "$canvas" ] && kill "$canvas" 2>/dev/null; rm -rf "$work"' EXIT
mkfifo "$work/out"
QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work "$1" >"$work/out" &
canvas=$!
exec 3<"$work/out"
# Reads the canvas' lines until one matches the pattern "pen-canvas: $1" (20 s at most each).
expect() {
    while IFS= read -r -t 20 line <&3; do
        echo "$line"
        [[ $line == "pen-canvas: "$1 ]] && return 0
    done
    echo "FAIL: no line matching 'pen-canvas: $1'"
    exit 1
}
expect "ready 2560x800+0+0"
xdotool mousemove 100 120 mousedown 1 mousemove 300 220 mouseup 1
expect "stroke 0 mouse id=0 points=* from 100,120 to 300,220"
kill -TERM "$canvas"
expect "strokes=1 mouse-presses=1 mouse-moves=* mouse-releases=1 touch-presses=0 *"
wait "$canvas"
canvas=
