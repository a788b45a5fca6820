#!/bin/bash
# The Windows program end to end under Wine, installed by its NSIS installer, against the
# Linux projector simulator (machinery: wine-session.sh):
#
#   program-under-wine.sh INSTALLER PROGRAM_EXE PEN_CANVAS_EXE DLL_DIRS PROJECTOR_SIM
#
#   1. the installer runs silently (/S): files, Start-menu entry, uninstaller, logon task;
#   2. a first start without settings: the interface list names the namespace's interface
#      through the IP helper, and the search finds the simulator and accepts its reply;
#   3. an admin preset in HKLM (the installed .reg example imports; then reg add), touch
#      mode asked for: the installed program connects at start (the PEN_ON frame), keeps to
#      mouse mode (Wine's user32 has no touch injection), and a stroke from the simulator
#      reaches the Windows pen-canvas as SendInput mouse input; a second instance exits 0
#      through the named pipe;
#   4. log-off (wineboot --end-session), which runs Exit's code: PEN_OFF, the settings in
#      HKCU, the program ends; started again, it is ended by the uninstaller as Exit ends
#      it (PEN_OFF), which then removes program, entry and task.
# Prints the figures (records sent, canvas counts, frames) and exits 0, 1 on a fault, 77
# when Wine, Xvfb or namespaces are missing.
[ $# -eq 5 ] || { sed -n '5p' "$0" >&2; exit 2; }
simulator=$5 files=("$1" "$2" "$3")
. "$(dirname "$0")/wine-session.sh"
installer=$1
canvas_exe=$3
dll_dirs=$4

# --- 1. The installer, silently -------------------------------------------------------
timeout 120 "$wine" "$installer" /S >/dev/null 2>&1 || fail "the installer exited with $?"
check_installed
[ -f "$program_dir/Uninstall.exe" ] || fail "not installed: Uninstall.exe"
[[ $(start_menu_entry) == */ProgramData/* ]] || fail "the Start-menu entry is not every user's"
note "installed into C:\\Program Files\\Lumoravista\\Quill Relay; Start-menu entry, uninstaller, logon task"

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
"$wine" reg import "$program_dir/examples/Quill Relay preset.reg" >/dev/null 2>&1
[ "$(reg_value "$preset" IpAddress)" = 10.0.5.20 ] && [ "$(reg_value "$preset" Port)" = 0x1be6 ] ||
    fail "the example preset did not import"
for value in "Type REG_DWORD 0" "IpAddress REG_SZ 10.77.0.2" "Port REG_DWORD 7142" \
    "PenMode REG_DWORD 0" "Adapter REG_SZ $adapter"; do
    set -- $value
    "$wine" reg add "$preset" /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1
done

logs+=("$work/canvas.log" "$work/second.log")
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

# --- 4. Log-off: what Exit does; the uninstaller ends a running instance --------------
timeout 60 "$wine" wineboot --end-session >/dev/null 2>&1
wait_for_frame "$pen_off" 1 || fail "no PEN_OFF frame"
wait_for "$work/program.log" "^exit " 30 || fail "the program did not end within 30 s of the log-off"
saved_ip=$(reg_value "$settings" IpAddress)
saved_mode=$(reg_value "$settings" PenMode)
[ "$saved_ip" = 10.77.0.2 ] || fail "the settings are not in $settings"
[ "$saved_mode" = 0x1 ] || fail "PenMode in HKCU is not mouse (1): touch was asked for, Wine has none"

run_program "$work/again.log"
wait_for_frame "$pen_on" 2 || fail "the program started again did not connect"
"$wine" "$program_dir/Uninstall.exe" /S >/dev/null 2>&1
wait_for_frame "$pen_off" 2 || fail "the uninstaller did not end the running instance as Exit does"
# The uninstaller goes on from a copy of itself: done when Wine has no process left.
if ! timeout 60 "$wineserver" -w; then
    fail "Wine's processes did not end after the uninstaller:"
    "$wine" tasklist >&2 2>/dev/null; ps -eo pid,etimes,args | grep -i '\.exe' >&2
fi
check_removed "the uninstaller"

# --- Figures --------------------------------------------------------------------------
first_frame=$(grep -m1 '^cmd-rx' "$QR_PROJECTOR_LOG" | cut -d' ' -f3-)
[ "$first_frame" = "$pen_on" ] || fail "PEN_ON frame: $first_frame"
counts=$(grep 'pen-canvas: strokes=' "$work/canvas.log" | tail -1 | sed 's/^pen-canvas: //')
grep -q "mouse-presses=1 .*mouse-releases=1 touch-presses=0" <<<"$counts" ||
    fail "the canvas did not count one press and one release of the mouse"
note "PEN_ON, PEN_OFF received: $first_frame; $pen_off ($(grep -c "^cmd-rx .* $pen_off\$" "$QR_PROJECTOR_LOG") times: log-off, uninstaller)"
note "pen-status datagrams sent: $(grep -c '^pen-tx' "$QR_PROJECTOR_LOG"); canvas: $counts"
note "touch: $(grep -o 'Touch input unavailable.*' "$work/program.log" | head -1 | tr -d '\r')"
note "saved in $settings: IpAddress=$saved_ip PenMode=$saved_mode"
wine_session_end "the program under Wine"
