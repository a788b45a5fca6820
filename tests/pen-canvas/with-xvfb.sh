#!/bin/bash
# with-xvfb.sh <command...>: runs the command against a private Xvfb. Xvfb picks a free
# display itself (-displayfd), so parallel tests and a developer's own X server never meet.
# Exits 77 (skipped) when Xvfb is not installed.
set -euo pipefail
if ! command -v Xvfb >/dev/null; then
    echo "SKIP: Xvfb is not installed (package xvfb)" >&2
    exit 77
fi
work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 "${QR_XVFB_SCREEN:-1024x768x24}" -nolisten tcp -noreset \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
# Blocks until Xvfb writes its display number (or gives up after 20 s).
if ! read -r -t 20 display <"$work/display"; then
    echo "Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
export DISPLAY=":$display"
unset WAYLAND_DISPLAY
"$@"
