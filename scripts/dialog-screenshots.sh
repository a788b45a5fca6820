#!/bin/bash
# Pictures of the four dialogs in English and Japanese, for docs/screenshots/. Runs
# dialog-shots under a private Xvfb, inside a namespace pair with the projector simulator so
# that the projector list shows real search results without touching the real network.
#
#   scripts/dialog-screenshots.sh BUILD_DIR [OUTPUT_DIR]     (as root; needs Xvfb, fonts-noto-cjk)
set -eu
build="${1:?build folder}"
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${2:-$root/docs/screenshots}"
shots="$build/bin/dialog-shots"
sim="$build/bin/projector-sim"
[ -x "$shots" ] && [ -x "$sim" ] || { echo "build dialog-shots and projector-sim first" >&2; exit 2; }

# A free display number.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null' EXIT
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

projectors="--projector 10.77.0.2,name=Hall --projector 10.77.0.3,name=Room-301 --projector 10.77.0.4,name=Foyer"
for lang in en_US.UTF-8 ja_JP.UTF-8; do
    "$root/tools/netns-pair.sh" --name shots --extra 2 \
        --projector "'$sim' $projectors --ready-file @READY@" -- \
        env DISPLAY=":$display" QT_QPA_PLATFORM=xcb LANG="$lang" LC_ALL= "$shots" "$out"
done
