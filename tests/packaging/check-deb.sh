#!/bin/bash
# check-deb.sh <build dir> <version>: builds the .deb with CPack into a private folder and
# checks what an installation needs: the program with both catalogues beside it and the
# command that starts it, valid menu and autostart entries with their icons, valid AppStream
# metadata, and uinput for the user at the seat. Exits 77 (skipped) when a tool is missing.
set -euo pipefail
build=$1 version=$2 id=com.lumoravista.QuillRelay
for tool in cpack dpkg-deb desktop-file-validate appstreamcli; do
    command -v $tool >/dev/null || { echo "SKIPPED: no $tool (see scripts/packages/)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/log" 2>&1 ||
    { cat "$work/log"; exit 1; }
deb=$(echo "$work"/out/*.deb) root=$work/root
dpkg-deb -x "$deb" "$root" && dpkg-deb -e "$deb" "$work/control"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
# Wayland sessions start it on Qt's Wayland platform.
dpkg-deb -f "$deb" Depends | grep -qE '(^|, )qt6-wayland( |,|$)' || fail "no dependency on qt6-wayland"

# The program answers through the command link; its catalogues lie beside it.
out=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/quillrelay" --version 2>&1) || true
[ "$out" = "Quill Relay $version" ] || fail "usr/bin/quillrelay --version: $out"
for lang in ja-JP en-US; do
    [ -s "$root/usr/lib/quillrelay/$lang/QuillRelay.$lang.qm" ] || fail "no $lang catalogue"
done

for entry in usr/share/applications/$id.desktop etc/xdg/autostart/$id.desktop; do
    # Hints are advice; errors and warnings are not.
    out=$(desktop-file-validate "$root/$entry" 2>&1) && ! grep -qE 'error|warning' <<<"$out" ||
        fail "$entry: $out"
    command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$root/$entry" 2>/dev/null || true)
    [ -n "$command" ] && [ -e "$root/usr/bin/$command" ] || fail "$entry runs '$command'"
    icon=$(sed -n 's/^Icon=//p' "$root/$entry" 2>/dev/null || true)
    [ -f "$root/usr/share/icons/hicolor/48x48/apps/$icon.png" ] || fail "$entry: no icon '$icon'"
done
# A conffile, so that an admin's removal of the autostart entry survives an upgrade.
grep -qx "/etc/xdg/autostart/$id.desktop" "$work/control/conffiles" || fail "autostart: no conffile"

meta=$root/usr/share/metainfo/$id.metainfo.xml
out=$(appstreamcli validate --no-net "$meta" 2>&1) || fail "metainfo: $out"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$meta" ||
    fail "metainfo launches no desktop entry"

# uinput for the seat user: tagged before logind applies the ACLs in 73-seat-late.rules,
# loaded at boot, and made usable at once by the postinst.
grep -qE '^KERNEL=="uinput".*TAG\+="uaccess"' "$root"/usr/lib/udev/rules.d/[0-6][0-9]-*.rules ||
    fail "no uaccess rule for uinput before 73-seat-late"
grep -qx uinput "$root/usr/lib/modules-load.d/quillrelay-uinput.conf" ||
    fail "uinput not loaded at boot"
[ -x "$work/control/postinst" ] && sh -n "$work/control/postinst" || fail "postinst: missing or bad"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks of $(basename "$deb") passed"
