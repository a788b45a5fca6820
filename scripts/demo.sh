#!/usr/bin/env bash
# demo.sh: Quill Relay doing its job against the built-in projector simulator, with no
# projector, without touching the real network and without the person's own settings.
#
#   scripts/demo.sh [--out DIR] [--xvfb]
#
# 1. Installs missing packages and builds the program, the simulator and the pen canvas.
# 2. Makes a pair of network namespaces (tools/netns-pair.sh; needs root, so the
#    script asks sudo for that part) with the simulated projector at 10.77.0.2; they are
#    removed again however the demo ends.
# 3. Starts the pen canvas full-screen and the program with a temporary settings home that
#    points at the simulated projector; the program connects at start and the simulator
#    draws its figure with the pen. On the person's display when there is one (Esc ends the
#    canvas early), otherwise on a private Xvfb with a tray host, the program as nobody.
#    The program runs from a copy in DIR/program, which nobody reaches from any checkout.
# 4. Ends the program as a log-out would (SIGTERM: it switches the pen function off as Exit
#    does), writes the canvas and the whole screen as PNG files, and prints a summary.
#
# Everything it writes goes to DIR (default: a new folder under /tmp, printed at the end).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${QR_DEMO_BUILD:-$root/build}
out=""
force_xvfb=0
want_tray=0
inside=0
built=0
while [ $# -gt 0 ]; do
    case "$1" in
        --out) out=$2; shift 2 ;;
        --xvfb) force_xvfb=1; shift ;;
        # Internal: --built after the build, --inside in the computer namespace.
        --built) built=1; shift ;;
        --build-dir) build=$2; shift 2 ;;
        --inside) inside=1; shift ;;
        -h|--help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "demo: unknown option $1" >&2; exit 2 ;;
    esac
done

log() { printf 'demo: %s\n' "$*" >&2; }

# Waits until a line matching PATTERN appears in FILE (also lines already there), at most
# SECONDS, and no longer than process PID lives (when given). tail -F sleeps on inotify
# between lines; the shell waits with the wait builtin, which a trapped signal interrupts.
waiters=()
wait_for_line() {
    local file=$1 pattern=$2 seconds=$3 pid=${4:-} status=0 fifo follower matcher
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/qr-demo-wait.XXXXXX")
    mkfifo "$fifo"
    timeout "$seconds" tail -n +1 -F ${pid:+--pid="$pid"} "$file" >"$fifo" 2>/dev/null &
    follower=$!
    grep -m1 -q -- "$pattern" <"$fifo" &
    matcher=$!
    waiters=("$follower" "$matcher")
    wait "$matcher" || status=$?
    kill "$follower" 2>/dev/null || true
    wait "$follower" 2>/dev/null || true
    waiters=()
    rm -f "$fifo"
    return "$status"
}

# ---------------------------------------------------------------------------------------
# The part inside the computer namespace: canvas, program, figure, summary.
if [ "$inside" -eq 1 ]; then
    : "${QR_DEMO_OUT:?}" "${QR_PROJECTOR_LOG:?}"
    bin=$build/bin
    # Both are X clients, on Xvfb as on a desktop (XWayland included), so that injected
    # input and the canvas meet on one server.
    export QT_QPA_PLATFORM=xcb

    "$bin/pen-canvas" --output "$QR_DEMO_OUT/canvas.png" --record "$QR_DEMO_OUT/canvas.json" \
        --screen-output "$QR_DEMO_OUT/screen.png" >"$QR_DEMO_OUT/canvas.log" 2>&1 &
    canvas_pid=$!
    program_pid=""
    tray_pid=""
    stop_all() {
        [ ${#waiters[@]} -gt 0 ] && kill "${waiters[@]}" 2>/dev/null
        [ -n "$program_pid" ] && kill -KILL "$program_pid" 2>/dev/null
        [ -n "$tray_pid" ] && kill -TERM "$tray_pid" 2>/dev/null
        kill -TERM "$canvas_pid" 2>/dev/null
        return 0
    }
    trap stop_all EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    wait_for_line "$QR_DEMO_OUT/canvas.log" "pen-canvas: ready" 20 "$canvas_pid" ||
        { log "the canvas did not come up:"; cat "$QR_DEMO_OUT/canvas.log" >&2; exit 1; }

    # On Xvfb a tray host, started after the canvas so that it lies above it on screen.
    if [ "${QR_DEMO_TRAY:-0}" -eq 1 ]; then
        if command -v trayer >/dev/null; then
            trayer --edge top --align right --widthtype request --height 28 --tint 0x2b2b2b \
                --transparent true --alpha 0 >"$QR_DEMO_OUT/tray.log" 2>&1 &
            tray_pid=$!
            # The tray must own its selection before the program looks for it.
            timeout 10 xdotool search --sync --class trayer >/dev/null 2>&1 ||
                log "the tray host did not come up"
        else
            log "no tray host (package trayer): the tray icon will not be seen"
        fi
    fi

    started=$(date +%s.%N)
    setpriv --reuid="$QR_DEMO_RUN_AS" --regid="$QR_DEMO_RUN_GROUP" --init-groups \
        env HOME="$QR_DEMO_OUT/home" XDG_CONFIG_HOME="$QR_DEMO_OUT/config" \
        XDG_RUNTIME_DIR="$QR_DEMO_OUT/runtime" QT_LOGGING_RULES="quillrelay.*.debug=true" \
        "$QR_DEMO_OUT/program/QuillRelay" >"$QR_DEMO_OUT/program.log" 2>&1 &
    program_pid=$!

    connected=no
    if wait_for_line "$QR_PROJECTOR_LOG" "^pen-start" 45 "$program_pid"; then
        connected=yes
        log "connected; the simulator draws its figure"
        wait_for_line "$QR_PROJECTOR_LOG" "^pen-done" 180 "$program_pid" ||
            log "the figure did not end in time (or the program ended)"
        # A picture of the screen while connected: canvas and tray icon (SIGUSR1 makes the
        # canvas write its files now; the tray icon goes when the program ends).
        kill -USR1 "$canvas_pid"
        if wait_for_line "$QR_DEMO_OUT/canvas.log" "wrote $QR_DEMO_OUT/screen.png" 10 \
            "$canvas_pid"; then
            mv "$QR_DEMO_OUT/screen.png" "$QR_DEMO_OUT/screen-connected.png"
        fi
    else
        log "the program did not switch the pen function on (see $QR_DEMO_OUT/program.log)"
    fi

    # A log-out's SIGTERM: the program does what Exit does (pen off, then quits).
    kill -TERM "$program_pid" 2>/dev/null || true
    # Up to 15 s for the pen-off exchange; whichever ends first, the program or the sleep.
    program_status=0
    if kill -0 "$program_pid" 2>/dev/null; then
        sleep 15 &
        sleeper=$!
        waiters=("$sleeper")
        ended=""
        wait -n -p ended "$program_pid" "$sleeper" || program_status=$?
        if [ "$ended" != "$program_pid" ]; then
            log "the program did not end within 15 s of SIGTERM"
            kill -KILL "$program_pid" 2>/dev/null
            wait "$program_pid" 2>/dev/null
            program_status=killed
        fi
        kill "$sleeper" 2>/dev/null || true
        wait "$sleeper" 2>/dev/null || true
        waiters=()
    else
        wait "$program_pid" 2>/dev/null || program_status=$?
    fi
    program_pid=""
    # Off at the end: the simulator's last word on its pen function is a stop (a pen-on
    # while on also logs one, before its new start).
    pen_off=no
    wait_for_line "$QR_PROJECTOR_LOG" "^pen-stop" 5 &&
        [ "$(awk '$1 ~ /^pen-st(art|op)$/ { last = $1 } END { print last }' "$QR_PROJECTOR_LOG")" = pen-stop ] &&
        pen_off=yes
    finished=$(date +%s.%N)

    kill -TERM "$canvas_pid" 2>/dev/null || true
    wait "$canvas_pid" 2>/dev/null || true
    [ -n "$tray_pid" ] && kill -TERM "$tray_pid" 2>/dev/null
    trap - EXIT
    cp "$QR_PROJECTOR_LOG" "$QR_DEMO_OUT/projector.log"

    sent=$(awk '$1 == "pen-tx" { n += (NF - 2) / 13 } END { print n + 0 }' "$QR_PROJECTOR_LOG")
    # One "UdpRead:" line of bytes per record (a datagram from another host is dropped whole).
    received=$(grep -c 'UdpRead: [0-9A-F]' "$QR_DEMO_OUT/program.log" || true)
    mismatched=$(grep -c -- '-->Data mismatch!' "$QR_DEMO_OUT/program.log" || true)
    lost_up=$(grep -c -- '-->Lost Up event!!' "$QR_DEMO_OUT/program.log" || true)
    canvas_line=$(grep 'pen-canvas: strokes=' "$QR_DEMO_OUT/canvas.log" | tail -1)
    canvas_counts=${canvas_line#pen-canvas: }

    echo
    echo "Quill Relay demo summary"
    echo "  projector (simulated, 10.77.0.2:7142) connected: $connected"
    echo "  pen function switched off at the end:           $pen_off (program exit status $program_status)"
    echo "  pen-status records sent by the projector:       $sent"
    echo "  records received by the program:                $received ($((sent - received)) lost, $mismatched rejected)"
    echo "  lost-up releases:                               $lost_up"
    echo "  input seen on the canvas:                       $canvas_counts"
    echo "  time from start to pen off:                     $(awk -v a="$started" -v b="$finished" 'BEGIN { printf "%.1f", b - a }') s"
    echo "  canvas picture:  $QR_DEMO_OUT/canvas.png"
    echo "  screen while connected (canvas and tray): $QR_DEMO_OUT/screen-connected.png"
    echo "  logs:            $QR_DEMO_OUT/{program,projector,canvas}.log"
    [ "$connected" = yes ] && [ "$pen_off" = yes ] && [ "$((sent - received))" -eq 0 ]
    exit $?
fi

# ---------------------------------------------------------------------------------------
# Outside: packages and build as the invoking user, then the rest as root.
if [ "$built" -eq 0 ]; then
    "$root/scripts/install-deps.sh"
    # The test command's normal build, so that the two share build/ without rebuilding.
    (cd "$root" && cmake --preset normal -B "$build" >/dev/null)
    cmake --build "$build" --target QuillRelay projector-sim pen-canvas
fi
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { log "network namespaces need root: run this as root"; exit 1; }
    log "network namespaces need root: asking sudo"
    args=(--built --build-dir "$build")
    [ -n "$out" ] && args+=(--out "$out")
    [ "$force_xvfb" -eq 1 ] && args+=(--xvfb)
    exec sudo --preserve-env=DISPLAY,XAUTHORITY,DBUS_SESSION_BUS_ADDRESS "$0" "${args[@]}"
fi

out=${out:-$(mktemp -d /tmp/quillrelay-demo.XXXXXX)}
mkdir -p "$out"
chmod 755 "$out"
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    return 0
}
trap cleanup EXIT
# A signal ends the script through exit, so the EXIT trap removes Xvfb too.
trap 'exit 130' INT
trap 'exit 143' TERM

# Who runs the program. On the person's display: the person (their own X access, and
# /dev/uinput if the package's rule gave it to them). On the private Xvfb: nobody, who has no
# /dev/uinput, so the pen reaches Xvfb through XTest and never the machine's real input.
if [ "$force_xvfb" -eq 0 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    run_as=${SUDO_USER:-root}
    log "showing the demo on display $DISPLAY (Esc on the canvas ends it early)"
else
    run_as=nobody
    mkfifo "$out/.display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$out/.display" \
        >"$out/xvfb.log" 2>&1 &
    xvfb_pid=$!
    read -r -t 20 display <"$out/.display" || { log "Xvfb did not start"; exit 1; }
    rm -f "$out/.display"
    export DISPLAY=":$display"
    unset XAUTHORITY WAYLAND_DISPLAY
    log "no display of yours: using a private Xvfb ($DISPLAY)"
    want_tray=1
fi
run_group=$(id -gn "$run_as")

# The program's private settings home, pointing at the simulated projector.
pen_mode=1
if [ "$run_as" != nobody ] && setpriv --reuid="$run_as" --regid="$run_group" --init-groups \
    test -w /dev/uinput 2>/dev/null; then
    pen_mode=0
fi
mkdir -p "$out/config/Lumoravista" "$out/runtime" "$out/home"
cat >"$out/config/Lumoravista/Quill Relay.conf" <<CONF
[Settings]
Type=0
IpAddress=10.77.0.2
HostName=
Port=7142
PenMode=$pen_mode
Adapter=pc0
CONF
chown -R "$run_as:$run_group" "$out/config" "$out/runtime" "$out/home"
chmod 700 "$out/runtime"

# The program runs from a copy with its catalogues beside it: a checkout may lie below a
# folder that only its owner can enter (a home folder, /root), which nobody cannot reach.
install -d -m 755 "$out/program"
install -m 755 "$build/bin/QuillRelay" "$out/program/"
for catalogue in "$build"/bin/*/QuillRelay.*.qm; do
    language=$(basename "$(dirname "$catalogue")")
    install -d -m 755 "$out/program/$language"
    install -m 644 "$catalogue" "$out/program/$language/"
done
if ! setpriv --reuid="$run_as" --regid="$run_group" --init-groups test -x "$out/program/QuillRelay"; then
    log "$run_as cannot reach $out: choose a folder that others may enter (--out)"
    exit 1
fi

sim=$build/bin/projector-sim
script=quill-relay
log "simulated projector at 10.77.0.2, pen script '$script'"

export QR_DEMO_OUT=$out QR_DEMO_RUN_AS=$run_as QR_DEMO_RUN_GROUP=$run_group
export QR_DEMO_TRAY=$want_tray
status=0
"$root/tools/netns-pair.sh" --name demo \
    --projector "$sim --projector 10.77.0.2,name=Quill-Relay-Demo --pen-script $script --ready-file @READY@" \
    -- "$0" --inside --build-dir "$build" || status=$?
chmod -R a+rX "$out"
exit "$status"
