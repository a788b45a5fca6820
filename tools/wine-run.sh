#!/bin/bash
# Runs a Windows program of the Windows build under Wine: the build's
# CROSSCOMPILING_EMULATOR, so ctest runs the Windows tests through it.
#
#   wine-run.sh --prefix DIR [--dlls 'DIR;DIR...'] -- PROGRAM.exe [ARGS...]
#
#   --prefix DIR   the Wine prefix (made on first use; several runs may share it at once)
#   --dlls DIRS    folders searched for DLLs (the Qt and mingw runtimes), ';'-separated
#
# Every run is in a network namespace of its own with nothing but loopback (isolated.sh).
# Wine's sockets belong to the calling process, and its interface table to the services
# the first process of a prefix starts; as long as every process of the prefix is started
# here, none of them can reach the machine's network. Exit 77 (skipped) without Wine or
# without a namespace.
#
# A test program's own log goes to a file that is printed afterwards: Qt Test writes to the
# Windows debug channel when the process has no console, which is the case under Wine when
# stdout is not a terminal.
set -u
here=$(cd "$(dirname "$0")" && pwd)

prefix=""
dlls=""
while [ $# -gt 0 ]; do
    case "$1" in
        --prefix) prefix="$2"; shift 2 ;;
        --dlls) dlls="$2"; shift 2 ;;
        --) shift; break ;;
        *) break ;;
    esac
done
[ -n "$prefix" ] && [ $# -gt 0 ] || { echo "usage: wine-run.sh --prefix DIR [--dlls DIRS] -- PROGRAM.exe [ARGS...]" >&2; exit 2; }

wine=${QR_WINE:-/usr/lib/wine/wine64}
if [ ! -x "$wine" ]; then
    echo "SKIPPED: no Wine at $wine (Debian package wine64)" >&2
    exit 77
fi

if [ "${QR_WINE_ISOLATED:-}" != "$$" ]; then
    # Once more, inside the namespace.
    export QR_WINE_ISOLATED=$$
    exec "$here/isolated.sh" "$0" --prefix "$prefix" --dlls "$dlls" -- "$@"
fi

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# The DLL search path, as Windows paths on Wine's Z: drive.
winepath=""
IFS=';' read -r -a dll_dirs <<<"$dlls"
for dir in "${dll_dirs[@]}"; do
    [ -n "$dir" ] && winepath="${winepath:+$winepath;}Z:${dir//\//\\}"
done
export WINEPATH=$winepath
# Wine keeps the build machine's QT_ variables away from Windows programs, but passes
# WINEQT_<name> on as QT_<name>: the test's own settings (the offscreen platform, the log rules)
# go that way.
for name in $(compgen -e); do
    case "$name" in QT_*) export "WINE$name=${!name}" ;; esac
done

# A new prefix is made once, by whichever run comes first; the others wait for it. Wine's
# offers to install its .NET and browser stand-ins are declined. It reports Windows 10, the
# program's usual system, rather than Wine's default Windows 7.
mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
        WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot -i >/dev/null 2>&1
        "$wine" reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
        timeout 60 "${wine%/*}/wineserver" -w
    fi
    # No X server: Wine's display-less driver, with which a program can still make windows
    # of its own (the resume watch's hidden one) and never shows them on the caller's display.
    # Also for a prefix made before.
    if ! grep -qsx '"Graphics"="null"' "$prefix/user.reg"; then
        "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
        timeout 60 "${wine%/*}/wineserver" -w
    fi
) 9>"$prefix.lock"

program=$1
shift
log=$(mktemp "${TMPDIR:-/tmp}/qr-wine-run.XXXXXX")
trap 'rm -f "$log"' EXIT
case "${program##*/}" in
    tst_*) "$wine" "$program" "$@" -o "Z:${log//\//\\},txt" ;;
    *) "$wine" "$program" "$@" ;;
esac
status=$?
cat "$log"
exit "$status"
