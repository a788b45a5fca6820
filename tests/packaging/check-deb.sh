#!/bin/bash
# check-deb.sh <build dir> <version>: builds the .deb with CPack into a private folder and
# checks what an installation would get: the program with its catalogues beside it, the
# command link, the desktop and autostart entries (validated), the icons the entries name,
# the AppStream metadata (validated), uinput access and the maintainer scripts.
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

for tool in cpack dpkg-deb desktop-file-validate; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/packages/packaging.txt)"
        exit 77
    fi
done

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log"
    echo "FAIL: cpack"
    exit 1
}
deb=$(ls "$work"/out/*.deb)
echo "built $(basename "$deb") ($(stat -c %s "$deb") bytes)"
root="$work/root"
dpkg-deb -x "$deb" "$root"
dpkg-deb -e "$deb" "$work/control"

# Control fields.
[ "$(dpkg-deb -f "$deb" Package)" = quillrelay ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6network6 libqt6core5compat6; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

# The program, its catalogues beside it, and the command that reaches it.
app=usr/lib/quillrelay
[ -x "$root/$app/QuillRelay" ] || fail "$app/QuillRelay missing or not executable"
for lang in ja-JP en-US; do
    [ -s "$root/$app/$lang/QuillRelay.$lang.qm" ] || fail "catalogue $lang not beside the program"
done
link=$(readlink "$root/usr/bin/quillrelay" || true)
[ -n "$link" ] || fail "usr/bin/quillrelay is not a link"
[ "$(cd "$root/usr/bin" && realpath -m "$link")" = "$(realpath -m "$root/$app/QuillRelay")" ] ||
    fail "usr/bin/quillrelay points to '$link', not to the program"
# Nothing of the developers' tools or tests slips into the package.
extra=$(cd "$root" && find . -type f | grep -E 'tst_|pen-canvas|projector-sim|qr-icon-gen' || true)
[ -z "$extra" ] || fail "developer files in the package: $extra"

# Desktop entries: valid, and naming a command and an icon that the package provides.
menu=$root/usr/share/applications/com.lumoravista.QuillRelay.desktop
autostart=$root/etc/xdg/autostart/com.lumoravista.QuillRelay.desktop
for entry in "$menu" "$autostart"; do
    if [ ! -f "$entry" ]; then
        fail "missing ${entry#$root/}"
        continue
    fi
    out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate ${entry#$root/}: $out"
    # Hints are advice; errors and warnings are not.
    grep -qE 'error|warning' <<<"$out" && fail "${entry#$root/}: $out"
    exec_cmd=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    [ -e "$root/usr/bin/$exec_cmd" ] || fail "${entry#$root/} runs '$exec_cmd', not in usr/bin"
    icon=$(sed -n 's/^Icon=//p' "$entry")
    [ -n "$(find "$root/usr/share/icons/hicolor" -name "$icon.png")" ] ||
        fail "${entry#$root/} names icon '$icon' that is not in hicolor"
done
grep -q "^/etc/xdg/autostart/com.lumoravista.QuillRelay.desktop$" "$work/control/conffiles" ||
    fail "the autostart entry is not a conffile (an admin's removal would come back)"

# Each hicolor icon has the size its folder says (PNG header: width and height, big endian).
while IFS= read -r png; do
    dir=$(basename "$(dirname "$(dirname "$png")")")
    w=$(od -An -tu1 -j16 -N4 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    h=$(od -An -tu1 -j20 -N4 "$png" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    [ "${w}x${h}" = "$dir" ] || fail "icon ${png#$root/} is ${w}x${h}"
done < <(find "$root/usr/share/icons/hicolor" -name '*.png')
[ -f "$root/usr/share/icons/hicolor/48x48/apps/com.lumoravista.QuillRelay.png" ] ||
    fail "no 48x48 application icon"

# AppStream: valid, and launching the desktop entry the package installs.
meta=$root/usr/share/metainfo/com.lumoravista.QuillRelay.metainfo.xml
if [ ! -f "$meta" ]; then
    fail "missing metainfo"
else
    grep -q '<launchable type="desktop-id">com.lumoravista.QuillRelay.desktop</launchable>' \
        "$meta" || fail "metainfo does not launch the installed desktop entry"
    if command -v appstreamcli >/dev/null; then
        out=$(appstreamcli validate --no-net "$meta" 2>&1) || fail "appstreamcli: $out"
    else
        echo "note: appstreamcli not installed, metainfo not validated"
    fi
fi

# uinput for the seat user, and the module loaded at boot.
rule=$root/usr/lib/udev/rules.d/60-quillrelay-uinput.rules
grep -qE '^KERNEL=="uinput".*TAG\+="uaccess"' "$rule" 2>/dev/null ||
    fail "no uaccess rule for uinput"
# logind applies uaccess ACLs in 73-seat-late.rules: the tag must be set before that.
[ "$(basename "$rule" | cut -d- -f1)" -lt 73 ] || fail "uaccess rule runs after 73-seat-late"
grep -qx uinput "$root/usr/lib/modules-load.d/quillrelay-uinput.conf" 2>/dev/null ||
    fail "uinput is not loaded at boot"
[ -x "$work/control/postinst" ] || fail "postinst missing or not executable"
sh -n "$work/control/postinst" || fail "postinst is not valid sh"

# The admin's preset example is shipped.
[ -f "$root/usr/share/doc/quillrelay/examples/Quill Relay.conf.example" ] ||
    fail "preset example missing"

# Owned by root, whatever user built it.
owners=$(dpkg-deb -c "$deb" | awk '{print $2}' | sort -u)
[ "$owners" = root/root ] || fail "files not owned by root: $owners"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all package checks passed"
