#!/bin/bash
# with-xvfb.sh <command…>: runs the command against a private Xvfb of 2560x800, room for a
# primary screen right of another one. Xvfb picks a free display itself (-displayfd), so
# parallel tests and a developer's own X server never meet; it listens on a local socket
# only. Exits 77 (skipped) when Xvfb is not installed, else with the command's status.
set -u
if ! command -v Xvfb >/dev/null; then
    echo "SKIPPED: Xvfb is not installed (package xvfb)"
    exit 77
fi
work=$(mktemp -d)
xvfb=
trap '[ -n "$xvfb" ] && kill "$xvfb" && wait "$xvfb"; rm -rf "$work"' EXIT
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 2560x800x24 -nolisten tcp 3>"$work/display" 2>"$work/log" &
xvfb=$!
# Blocks until Xvfb writes its display number, which it does once it accepts clients.
if ! read -r -t 20 display <"$work/display"; then
    echo "Xvfb did not start:"
    cat "$work/log"
    exit 1
fi
DISPLAY=":$display" "$@"
