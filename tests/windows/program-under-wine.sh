#!/bin/bash
# The Windows program end to end under Wine, against the Linux projector simulator:
#
#   program-under-wine.sh INSTALLER PROGRAM_EXE PEN_CANVAS_EXE DLL_DIRS PROJECTOR_SIM
#
# PROGRAM_EXE is the build's QuillRelay.exe, which the installer must not be older than.
# One namespace pair (netns-pair.sh), the simulator in the projector's namespace; in the
# computer's namespace a private Xvfb and a fresh Wine prefix (Windows 10). There:
#   1. the installer runs silently (/S): files, Start-menu entry, uninstaller, logon task;
#   2. a first start without settings: the interface list names the namespace's interface
#      through the IP helper, and the search finds the simulator and accepts its reply;
#   3. an admin preset in HKLM (the installed .reg example imports; then reg add), touch
#      mode asked for: the installed program connects at start (the PEN_ON frame), keeps to
#      mouse mode (Wine's user32 has no touch injection), and a stroke from the simulator
#      reaches the Windows pen-canvas as SendInput mouse input; a second instance exits 0
#      through the named pipe;
#   4. log-off (wineboot --end-session), which runs Exit's code: PEN_OFF, the settings in
#      HKCU, the program ends; then the uninstaller removes program, entry and task.
# Prints the figures (records sent, canvas counts, frames) and exits 0, 1 on a fault, 77
# when Wine, Xvfb or namespaces are missing. Every wait waits for a line or a process.
# By hand: QR_WINE_TRACE=1 traces the script, QR_WINE_KEEP=DIR keeps its logs and prefix.
set -u
[ -n "${QR_WINE_TRACE:-}" ] && set -x
here=$(cd "$(dirname "$0")" && pwd)
tools="$here/../../tools"
wine=${QR_WINE:-/usr/lib/wine/wine64}
project_name="会議室プロジェクタ"

if [ -z "${QR_NETNS_COMPUTER:-}" ]; then
    [ $# -eq 5 ] || { sed -n '2,6p' "$0" >&2; exit 2; }
    for tool in "$wine" "$(command -v Xvfb)"; do
        [ -x "$tool" ] || { echo "SKIPPED: Wine (wine64) and Xvfb are needed" >&2; exit 77; }
    done
    [ -x "$5" ] || { echo "SKIPPED: no Linux projector simulator at $5 (build the Linux tree first)" >&2; exit 77; }
    for file in "$1" "$2" "$3"; do
        [ -f "$file" ] || { echo "FAIL: $file is missing (scripts/build-windows.sh makes it)" >&2; exit 1; }
    done
    [ "$1" -nt "$2" ] || { echo "FAIL: the installer is older than the program: run scripts/build-windows.sh" >&2; exit 1; }
    exec "$tools/netns-pair.sh" --name wine --projector \
        "'$5' --projector '10.77.0.2,name=$project_name' --pen-script line --ready-file @READY@" \
        -- "$0" "$@"
fi

installer=$1
canvas_exe=$3
dll_dirs=$4
work=$(mktemp -d "${TMPDIR:-/tmp}/qr-wine.XXXXXX")
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
wineserver=${wine%/*}/wineserver
pids=()
cleanup() {
    [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" 2>/dev/null
    "$wineserver" -k 2>/dev/null
    wait 2>/dev/null
    [ -n "${QR_WINE_KEEP:-}" ] && rm -rf "$QR_WINE_KEEP" && cp -a "$work" "$QR_WINE_KEEP" && cp "$QR_PROJECTOR_LOG" "$QR_WINE_KEEP/"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
note() { echo "wine: $*"; }

# Waits for a line matching PATTERN in FILE, for up to SECONDS; no polling: tail follows the
# file and grep ends at the first match.
wait_for() {
    local file=$1 pattern=$2 seconds=$3 fifo status=0 follower
    fifo="$work/wait.$RANDOM"
    mkfifo "$fifo"
    timeout "$seconds" tail -n +1 -F "$file" >"$fifo" 2>/dev/null &
    follower=$!
    grep -m1 -q -- "$pattern" <"$fifo" || status=1
    kill "$follower" 2>/dev/null
    wait "$follower" 2>/dev/null
    rm -f "$fifo"
    return "$status"
}
# The first value of NAME under KEY, as reg query prints it.
reg_value() { "$wine" reg query "$1" /v "$2" 2>/dev/null | awk -v n="$2" '$1 == n { print $3 }' | tr -d '\r'; }

# The X server, which tells its display number when it listens.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
wait_for "$work/display" '^[0-9]' 10 || { fail "Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"

# A fresh prefix, reporting Windows 10; Wine's .NET and browser stand-ins declined. Its
# services must have settled before the installer asks the task scheduler for its folder.
WINEDLLOVERRIDES="mscoree,mshtml=" timeout 120 "$wine" wineboot -i >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
timeout 60 "$wineserver" -w || { fail "Wine's start-up did not settle"; exit 1; }

# --- 1. The installer, silently -------------------------------------------------------
timeout 120 "$wine" "$installer" /S >/dev/null 2>&1 || fail "the installer exited with $?"
program_dir="$WINEPREFIX/drive_c/Program Files/Lumoravista/Quill Relay"
program="C:\\Program Files\\Lumoravista\\Quill Relay\\bin\\QuillRelay.exe"
for file in bin/QuillRelay.exe bin/platforms/qwindows.dll bin/styles/qwindowsvistastyle.dll \
    bin/ja-JP/QuillRelay.ja-JP.qm bin/en-US/QuillRelay.en-US.qm Uninstall.exe "examples/Quill Relay preset.reg"; do
    [ -f "$program_dir/$file" ] || fail "not installed: $file"
done
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
find "$menu" -name 'Quill Relay.lnk' | grep -q . || fail "no Start-menu entry for every user"
# Wine's task scheduler keeps the task's name but not its content: the XML the installer
# registered is kept beside the program.
tasks="$WINEPREFIX/drive_c/windows/system32/tasks"
[ -f "$tasks/Quill Relay" ] || fail "no logon task registered"
iconv -f UTF-16 -t UTF-8 "$program_dir/logon-task.xml" 2>/dev/null | tr -d '\n' |
    grep -q '<LogonTrigger>.*<GroupId>S-1-5-32-545</GroupId>.*<RunLevel>HighestAvailable</RunLevel>' ||
    fail "the logon task is not: at logon, every user, highest rights"
note "installed into C:\\Program Files\\Lumoravista\\Quill Relay; Start-menu entry, uninstaller, logon task"

run_program() { # LOG: the installed program, its diagnostics on stderr, "exit N" at its end
    {
        WINEQT_FORCE_STDERR_LOGGING=1 WINEQT_LOGGING_RULES="quillrelay.*.debug=true" \
            "$wine" "$program"
        echo "exit $?"
    } >"$1" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
}

# --- 2. First start: no settings ------------------------------------------------------
# Wine numbers an interface's LUID, and so Qt's name for it, by its Linux index.
adapter="ethernet_$(cat /sys/class/net/pc0/ifindex)"
run_program "$work/first.log"
wait_for "$work/first.log" "adapter $adapter is pc0" 60 ||
    fail "the interface list did not name pc0 through the IP helper"
wait_for "$QR_PROJECTOR_LOG" "^search-accept 10.77.0.2" 30 ||
    fail "the search did not find the simulator's projector"
"$wine" taskkill /f /im QuillRelay.exe >/dev/null 2>&1
wait "$program_pid" 2>/dev/null

# --- 3. An admin preset, the pen, a second instance -----------------------------------
# The installed example first (it must import as it is), then this pair's values.
preset='HKLM\Software\Lumoravista\Quill Relay\Settings'
"$wine" reg import "$program_dir/examples/Quill Relay preset.reg" >/dev/null 2>&1
[ "$(reg_value "$preset" IpAddress)" = 10.0.5.20 ] && [ "$(reg_value "$preset" Port)" = 0x1be6 ] ||
    fail "the example preset did not import"
for value in "Type REG_DWORD 0" "IpAddress REG_SZ 10.77.0.2" "Port REG_DWORD 7142" \
    "PenMode REG_DWORD 0" "Adapter REG_SZ $adapter"; do
    set -- $value
    "$wine" reg add "$preset" /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1
done

WINEPATH="Z:${dll_dirs//;/;Z:}" "$wine" "$canvas_exe" >"$work/canvas.log" 2>&1 &
canvas_pid=$!
pids+=("$canvas_pid")
wait_for "$work/canvas.log" "pen-canvas: ready" 60 || { fail "the canvas did not come up"; exit 1; }

run_program "$work/program.log"
wait_for "$QR_PROJECTOR_LOG" "^pen-done" 60 || fail "the simulator sent no stroke (not connected?)"
wait_for "$work/canvas.log" "pen-canvas: stroke 0 mouse" 30 || fail "the stroke did not reach the canvas"

second_status=0
WINEQT_FORCE_STDERR_LOGGING=1 WINEQT_LOGGING_RULES="quillrelay.*.debug=true" \
    timeout 60 "$wine" "$program" >"$work/second.log" 2>&1 || second_status=$?
[ "$second_status" -eq 0 ] || fail "a second instance exited with $second_status"
grep -q "already exist" "$work/second.log" || fail "the second instance did not find the first"
kill -0 "$program_pid" 2>/dev/null || fail "the first instance ended with the second"

# The canvas ends first: the log-off would end it too, without its counts.
"$wine" taskkill /im pen-canvas.exe >/dev/null 2>&1
wait_for "$work/canvas.log" "pen-canvas: strokes=" 30 || fail "the canvas did not end"

# --- 4. Log-off: what Exit does -------------------------------------------------------
timeout 60 "$wine" wineboot --end-session >/dev/null 2>&1
wait_for "$QR_PROJECTOR_LOG" "^cmd-rx .* 03 CE 00 00 01 01 D3$" 30 || fail "no PEN_OFF frame"
wait_for "$work/program.log" "^exit " 30 || fail "the program did not end within 30 s of the log-off"
settings='HKCU\Software\Lumoravista\Quill Relay\Settings'
saved_ip=$(reg_value "$settings" IpAddress)
saved_mode=$(reg_value "$settings" PenMode)
[ "$saved_ip" = 10.77.0.2 ] || fail "the settings are not in $settings"
[ "$saved_mode" = 0x1 ] || fail "PenMode in HKCU is not mouse (1): touch was asked for, Wine has none"

"$wine" "$program_dir/Uninstall.exe" /S >/dev/null 2>&1
# The uninstaller goes on from a copy of itself: done when Wine has no process left.
if ! timeout 60 "$wineserver" -w; then
    fail "Wine's processes did not end after the uninstaller:"
    "$wine" tasklist >&2 2>/dev/null; ps -eo pid,etimes,args | grep -i '\.exe' >&2
fi
[ -e "$program_dir/bin" ] && fail "the uninstaller left the program behind"
[ -f "$tasks/Quill Relay" ] && fail "the uninstaller left the logon task behind"
find "$menu" -name "Quill Relay.lnk" | grep -q . && fail "the uninstaller left the Start-menu entry behind"

# --- Figures --------------------------------------------------------------------------
pen_on=$(grep -m1 '^cmd-rx' "$QR_PROJECTOR_LOG" | cut -d' ' -f3-)
[ "$pen_on" = "03 CE 00 00 07 00 01 00 4D 0A 8A 20 DA" ] || fail "PEN_ON frame: $pen_on"
counts=$(grep 'pen-canvas: strokes=' "$work/canvas.log" | tail -1 | sed 's/^pen-canvas: //')
grep -q "mouse-presses=1 .*mouse-releases=1 touch-presses=0" <<<"$counts" ||
    fail "the canvas did not count one press and one release of the mouse"
note "PEN_ON, PEN_OFF received: $pen_on; $(grep '^cmd-rx' "$QR_PROJECTOR_LOG" | tail -1 | cut -d' ' -f3-)"
note "pen-status datagrams sent: $(grep -c '^pen-tx' "$QR_PROJECTOR_LOG"); canvas: $counts"
note "touch: $(grep -o 'Touch input unavailable.*' "$work/program.log" | head -1 | tr -d '\r')"
note "saved in $settings: IpAddress=$saved_ip PenMode=$saved_mode"
if [ "$failures" -ne 0 ]; then
    for log in first program second canvas; do echo "---- $log.log ----"; tr -d '\r' <"$work/$log.log"; done >&2
    exit 1
fi
echo "PASS: the program under Wine"
