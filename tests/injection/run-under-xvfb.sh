#!/bin/sh
# Runs a test against a private Xvfb server: 3840x1080, so that a primary screen can be
# placed at left 1920. Xvfb picks a free display number itself (-displayfd) and reports it
# once it accepts clients; it listens on a local socket only. Exit 77 (skipped) without Xvfb.
set -u

if ! command -v Xvfb >/dev/null 2>&1; then
    echo "SKIP: Xvfb is not installed (package xvfb)"
    exit 77
fi

dir=$(mktemp -d)
mkfifo "$dir/displayfd"
Xvfb -displayfd 3 -screen 0 3840x1080x24 -nolisten tcp 2>"$dir/log" \
    3>"$dir/displayfd" &
xvfb=$!
stop() {
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
    rm -rf "$dir"
}
trap stop EXIT

# Blocks until Xvfb writes the number, or reads nothing if it died first.
read -r display <"$dir/displayfd"
if [ -z "${display:-}" ]; then
    echo "Xvfb did not start:"
    cat "$dir/log"
    exit 1
fi

DISPLAY=":$display" "$@"
