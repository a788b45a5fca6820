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

projectors="--projector 10.77.0.2,name=Hall --projector 10.77.0.3,name=Room-301 --projector 10.77.0.4,name=Foyer"
export root sim shots out projectors
# One private X server for both languages (tools/with-xvfb.sh sets DISPLAY).
"$root/tools/with-xvfb.sh" bash -c '
for lang in en_US.UTF-8 ja_JP.UTF-8; do
    "$root/tools/netns-pair.sh" --name shots --extra 2 \
        --projector "'"'"'$sim'"'"' $projectors --ready-file @READY@" -- \
        env QT_QPA_PLATFORM=xcb LANG="$lang" LC_ALL= "$shots" "$out" || exit
done'
