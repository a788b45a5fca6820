#!/bin/bash
# Checks with the Linguist tools that every translatable text of the program has a finished
# translation in every catalogue: the catalogues are brought up to date with the sources in
# a scratch folder (the real files are never rewritten), and any message that lupdate then
# marks unfinished, or that lrelease would leave untranslated, fails the check.
#
#   check-translations.sh [--lupdate PATH] [--lrelease PATH] [SOURCE_DIR]
#
# SOURCE_DIR is the repository root (default: the folder above this script).
set -u

lupdate=""
lrelease=""
while [ $# -gt 0 ]; do
    case "$1" in
        --lupdate) lupdate="$2"; shift 2 ;;
        --lrelease) lrelease="$2"; shift 2 ;;
        -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) break ;;
    esac
done
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"

find_tool() {
    local name="$1" dir
    for dir in /usr/lib/qt6/bin /usr/lib/x86_64-linux-gnu/qt6/bin; do
        [ -x "$dir/$name" ] && { echo "$dir/$name"; return; }
    done
    command -v "$name"
}
[ -n "$lupdate" ] || lupdate=$(find_tool lupdate)
[ -n "$lrelease" ] || lrelease=$(find_tool lrelease)
if [ -z "$lupdate" ] || [ -z "$lrelease" ]; then
    echo "check-translations: lupdate or lrelease not found (package qt6-l10n-tools)" >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/qr-ts.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The program's own sources and forms; tools and tests show no translated text.
sources="$work/sources.lst"
(cd "$root" && find app ui \
    \( -name '*.cpp' -o -name '*.h' -o -name '*.ui' \) -print 2>/dev/null | sort) \
    | sed "s|^|$root/|" >"$sources"

status=0
for ts in "$root"/translations/*.ts; do
    name=$(basename "$ts")
    copy="$work/$name"
    cp "$ts" "$copy"
    if ! "$lupdate" -silent -no-obsolete -locations none "@$sources" -ts "$copy" \
        >"$work/lupdate.log" 2>&1; then
        echo "$name: lupdate failed:" >&2
        cat "$work/lupdate.log" >&2
        status=1
        continue
    fi
    # Every unfinished message, as "context: source".
    unfinished=$(awk '
        /<name>/ { gsub(/.*<name>|<\/name>.*/, ""); context = $0 }
        /<source>/ { src = $0; gsub(/.*<source>|<\/source>.*/, "", src) }
        /type="unfinished"/ { print "    " context ": " src }
    ' "$copy")
    if [ -n "$unfinished" ]; then
        echo "$name: texts without a finished translation:" >&2
        echo "$unfinished" >&2
        status=1
    fi
    report=$("$lrelease" "$copy" -qm "$work/${name%.ts}.qm" 2>&1)
    if echo "$report" | grep -Eq '[1-9][0-9]* unfinished|Ignored [1-9][0-9]* untranslated'; then
        echo "$name: $report" >&2
        status=1
    fi
    [ "$status" -eq 0 ] && echo "$name: all translations finished ($(echo "$report" | grep -o "Generated.*"))"
done
exit "$status"
