#!/bin/bash
# check-windows-rc.sh <windres> <quillrelay.rc> <version>: compiles the resource script as
# a MinGW build does and reads back the fixed version block and the embedded manifest.
set -euo pipefail
export LC_ALL=C # byte-wise matching of the binary resource
windres=$1 rc=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }

"$windres" -DQR_EMBED_MANIFEST -O res -i "$rc" -o "$work/q.res"
# VS_FIXEDFILEINFO starts with the signature 0xFEEF04BD; 8 bytes on come the file and the
# product version, each two dwords little endian with the higher number in the upper half.
sig=$(grep -obUaP '\xbd\x04\xef\xfe' "$work/q.res" | head -1 | cut -d: -f1 || true)
[ -n "$sig" ] || fail "no version block"
read -r fminor fmajor ftweak fpatch pminor pmajor ptweak ppatch < <(
    od -An -tu2 -j $((${sig:-0} + 8)) -N16 "$work/q.res" | tr -s ' \n' ' ' && echo)
[ "$fmajor.$fminor.$fpatch.$ftweak" = "$version" ] || fail "file version is not $version"
[ "$pmajor.$pminor.$ppatch.$ptweak" = "$version" ] || fail "product version is not $version"

manifest=$(strings -a "$work/q.res")
grep -q 'requestedExecutionLevel level="asInvoker" uiAccess="false"' <<<"$manifest" ||
    fail "manifest does not run as the invoker without UI access"
# Per-monitor v2 from the start, in the namespace that Windows 10 reads it from, and per
# monitor for the systems that know only the older element.
grep -q '<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, PerMonitor</dpiAwareness>' <<<"$manifest" ||
    fail "manifest does not declare per-monitor DPI awareness v2"
grep -q '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>' <<<"$manifest" ||
    fail "manifest does not declare per-monitor DPI awareness for older systems"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "Windows resources: version $version, asInvoker, uiAccess false, per-monitor DPI aware (v2)"
