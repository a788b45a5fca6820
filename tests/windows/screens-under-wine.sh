#!/bin/bash
# The Windows program under Wine on a desktop of two monitors side by side at 150 % (Wine's
# LogPixels 144), the one right (or left) of the primary as its target screen, against the
# Linux projector simulator (machinery: wine-session.sh):
#
#   screens-under-wine.sh PROGRAM_FOLDER_EXE PROGRAM_EXE PEN_CANVAS_EXE DLL_DIRS PROJECTOR_SIM [left]
#
# The program runs from the build's program folder (scripts/build-windows.sh) with its
# settings in HKCU: the simulator's projector, mouse mode (Wine has no touch injection) and
# the second monitor as its screen. The pen-canvas covers that monitor; the simulator's line
# from pen (160,400) to (1120,400) must land on its physical pixels, (1440,400) to
# (2400,400) right of the primary, (-1120,400) to (-160,400) left of it, within a pixel of
# rounding: Qt's coordinates there are scaled by 2/3 from its corner, and SendInput
# reaches it only over the virtual desktop, whose corner is then left of the primary's.
# Prints the figures and exits 0, 1 on a fault, 77 when Wine, Xvfb, Xephyr or namespaces
# are missing.
[ $# -eq 5 ] || [ $# -eq 6 ] && [ "${6:-left}" = left ] || { sed -n '6p' "$0" >&2; exit 2; }
simulator=$5 files=("$1" "$2" "$3")
side=${6:-right} screens="1280x800 1280x800" log_pixels=144 primary=0 want=(1440,400 2400,400)
[ "$side" = left ] && primary=1 want=(-1120,400 -160,400)
. "$(dirname "$0")/wine-session.sh"
program=$1
canvas_exe=$3
dll_dirs=$4
target=Display2 # Qt's name for Wine's second monitor, where the canvas goes
device='\\.\DISPLAY2' # its device's name, by which the program chooses it

adapter="ethernet_$(cat /sys/class/net/pc0/ifindex)"
for value in "Type REG_DWORD 0" "IpAddress REG_SZ 10.77.0.2" "Port REG_DWORD 7142" \
    "PenMode REG_DWORD 1" "Adapter REG_SZ $adapter" "Screen REG_SZ $device"; do
    set -- $value
    "$wine" reg add "$settings" /v "$1" /t "$2" /d "$3" /f >/dev/null 2>&1
done

logs+=("$work/canvas.log")
WINEPATH="Z:${dll_dirs//;/;Z:}" "$wine" "$canvas_exe" --screen "$target" >"$work/canvas.log" 2>&1 &
pids+=($!)
wait_for "$work/canvas.log" "pen-canvas: ready" 60 || { fail "the canvas did not come up on $target"; exit 1; }

run_program "$work/program.log"
wait_for "$QR_PROJECTOR_LOG" "^pen-done" 60 || fail "the simulator sent no stroke (not connected?)"
wait_for "$work/canvas.log" "pen-canvas: stroke 0 mouse" 30 || fail "the stroke did not reach the canvas on $target"
"$wine" taskkill /im pen-canvas.exe >/dev/null 2>&1
wait_for "$work/canvas.log" "pen-canvas: strokes=" 30 || fail "the canvas did not end"

# --- Figures --------------------------------------------------------------------------
near() { # X,Y WANT_X,WANT_Y: within a pixel on each axis
    local x=${1%,*} y=${1#*,} wx=${2%,*} wy=${2#*,}
    [ $((x - wx)) -ge -1 ] && [ $((x - wx)) -le 1 ] && [ $((y - wy)) -ge -1 ] && [ $((y - wy)) -le 1 ]
}
stroke=$(grep -m1 'pen-canvas: stroke 0 ' "$work/canvas.log" | tr -d '\r')
read -r first last < <(sed -n 's/.* pixels \([-0-9]*,[-0-9]*\) to \([-0-9]*,[-0-9]*\)$/\1 \2/p' <<<"$stroke")
near "${first:-x}" "${want[0]}" && near "${last:-x}" "${want[1]}" ||
    fail "the line landed at ${first:-?} to ${last:-?}, not at ${want[0]} to ${want[1]}: $stroke"
note "canvas on $target: $(grep -m1 'pen-canvas: ready' "$work/canvas.log" | tr -d '\r' | sed 's/^pen-canvas: //')"
note "${stroke#pen-canvas: }"
note "target: $(grep 'target screen' "$work/program.log" | tail -1 | tr -d '\r' | sed 's/.*target screen //')"
note "Qt: $(grep -c 'qt.qpa' "$work/program.log") line(s) of its own; $(grep -m1 -o 'SetProcessDpiAwareness[^:]*: .*' "$work/program.log" | tr -d '\r')"
"$wine" taskkill /f /im QuillRelay.exe >/dev/null 2>&1
wine_session_end "the program under Wine on two monitors at 150 %, its screen $side of the primary"
