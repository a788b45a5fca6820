#!/usr/bin/env bash
# run.sh: the pen path's own latency, in the real program and in a minimal receiver.
#
#   bench/pen_latency/run.sh [--build DIR] [--path xtest|uinput|all] [--seconds N]
#                            [--rounds N] [--out DIR]
#
# For each path and load, the projector simulator sends pen datagrams from the projector
# namespace of a private namespace pair (tools/netns-pair.sh) at 200 datagrams a second to
# the program, and in a run of its own to pen-latency-minimal (receive, check, map, inject,
# nothing else), the two taking turns for --rounds rounds (default 6) of --seconds seconds
# (default 5). Both log, per datagram, the kernel's receive time and the time the device
# call for its last record returned (the program with QUILLRELAY_PEN_LATENCY_LOG). Printed,
# over all rounds: p50, p99 and maximum of that difference over the datagrams that held
# records, and the records the projector sent that never reached a device call (lost), then
# the program's p50 and p99 as a multiple of the minimal receiver's. Each stream starts once
# the receiver has settled; its first 2 s are a warm-up, left out of the figures but for its
# own maximum (records lost count them all).
#   loads:  one pen, one record a datagram (200 records/s; script long-circle)
#           ten pens, ten records a datagram (2000 records/s; script ten-pens)
#   paths:  xtest   the program's mouse mode through XTest, on a private Xvfb per run with a
#                   tray (trayer)
#           uinput  the program's touch mode on a uinput touchscreen, in the uinput VM
#                   (../shared/uinput-vm/run, or $UINPUT_VM_RUN), where the whole namespace
#                   pair runs inside the VM: the VM has no network of its own.
# Needs root (namespaces, the VM). Everything it writes goes to DIR (default: a new /tmp
# folder).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
self=$here/$(basename "$0")
root=$(cd "$here/../.." && pwd)
build=$root/build
path=all
# Many short turns rather than a few long ones: the machine's speed drifts within tens of
# seconds (two runs back to back can differ by a factor of 1.7 in every part of the path,
# the kernel's wake-up included), and the pooled figures only cancel that out when both
# receivers take many turns.
seconds=5
rounds=6
out=""
mode=outer
device=""
while [ $# -gt 0 ]; do
    case "$1" in
        --build) build=$(cd "$2" && pwd); shift 2 ;;
        --path) path=$2; shift 2 ;;
        --seconds) seconds=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        # Internal: the cases of one path (in the VM for uinput), and one case inside the
        # computer namespace.
        --cases) mode=cases; device=$2; shift 2 ;;
        --inside) mode=inside; shift ;;
        -h|--help) sed -n '2,27p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "pen_latency: unknown option $1" >&2; exit 2 ;;
    esac
done
case "$seconds$rounds" in ''|*[!0-9]*) echo "pen_latency: --seconds and --rounds take numbers" >&2; exit 2 ;; esac

bin=$build/bin
rate=200
# The first seconds of each stream are not counted: the first use of the pen path's code
# pages (in the VM read over 9p under emulation) is start-up, not the pen path. Their
# maximum is printed on its own.
warmup_seconds=2

log() { printf 'pen_latency: %s\n' "$*" >&2; }
load() { cut -d' ' -f1-3 /proc/loadavg; }

# Waits until a line matching PATTERN appears in FILE, at most SECONDS (tail -F sleeps on
# inotify between lines; nothing polls).
wait_for_line() {
    local file=$1 pattern=$2 seconds=$3 status=0 fifo follower
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/pen-latency-wait.XXXXXX")
    mkfifo "$fifo"
    timeout "$seconds" tail -n +1 -F "$file" >"$fifo" 2>/dev/null &
    follower=$!
    grep -m1 -q -- "$pattern" <"$fifo" || status=$?
    kill "$follower" 2>/dev/null || true
    wait "$follower" 2>/dev/null || true
    rm -f "$fifo"
    return "$status"
}

# Waits up to SECONDS for process PID (a child of this shell) to end; false if it did not.
wait_for_exit() {
    local pid=$1 seconds=$2 sleeper ended=""
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid" 2>/dev/null || true
        return 0
    fi
    sleep "$seconds" &
    sleeper=$!
    wait -n -p ended "$pid" "$sleeper" || true
    kill "$sleeper" 2>/dev/null || true
    wait "$sleeper" 2>/dev/null || true
    [ "$ended" = "$pid" ]
}

# ---------------------------------------------------------------------------------------
# One receiver against the simulator, inside the computer namespace.
if [ "$mode" = inside ]; then
    : "${QR_PROJECTOR_LOG:?}" "${PL_RECEIVER:?}" "${PL_DEVICE:?}" "${PL_LOG:?}"
    : "${PL_SECONDS:?}" "${PL_STREAM_SECONDS:?}" "${PL_WORK:?}"
    pid=""
    xvfb=""
    tray=""
    trap '[ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; [ -n "$tray" ] && kill "$tray";
          [ -n "$xvfb" ] && kill "$xvfb"; true' EXIT
    if [ "$PL_DEVICE" = xtest ]; then
        # A private X server for each run, started inside the computer namespace: clients
        # reach it through its abstract socket, which exists in this namespace only, so no
        # other X server on the machine (tests of others run theirs) can be reached instead.
        # A display number far above the usual ones, which others' scripts look after.
        mkfifo "$PL_WORK/display"
        number=$((500 + RANDOM % 400))
        while [ -e "/tmp/.X$number-lock" ]; do number=$((500 + RANDOM % 400)); done
        Xvfb ":$number" -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset \
            3>"$PL_WORK/display" >"$PL_WORK/xvfb.log" 2>&1 &
        xvfb=$!
        read -r -t 20 display <"$PL_WORK/display" || { log "Xvfb did not start"; exit 1; }
        export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
        unset XAUTHORITY WAYLAND_DISPLAY
        if [ "$PL_RECEIVER" = program ]; then
            # A tray, as on a desktop: without one the program shows its no-tray notice, a
            # window in the middle of the screen that the pens would cross and repaint.
            trayer --edge top --align right --widthtype request --height 28 \
                >"$PL_WORK/tray.log" 2>&1 &
            tray=$!
            timeout 10 xdotool search --sync --class trayer >/dev/null 2>&1 ||
                { log "the tray host did not come up"; exit 1; }
        fi
    fi
    if [ "$PL_RECEIVER" = program ]; then
        # A private settings home pointing at the simulated projector; mouse mode on XTest
        # (there is no uinput outside the VM), touch mode on the uinput touchscreen.
        pen_mode=1
        [ "$PL_DEVICE" = uinput ] && pen_mode=0
        home=$PL_WORK/home
        mkdir -p "$home/config/Lumoravista" "$home/runtime"
        chmod 700 "$home/runtime"
        printf '[Settings]\nType=0\nIpAddress=10.77.0.2\nHostName=\nPort=7142\nPenMode=%s\nAdapter=pc0\n' \
            "$pen_mode" >"$home/config/Lumoravista/Quill Relay.conf"
        env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" \
            QUILLRELAY_PEN_LATENCY_LOG="$PL_LOG" "$bin/QuillRelay" >"$PL_WORK/receiver.out" 2>&1 &
        pid=$!
    else
        "$bin/pen-latency-minimal" --device "$PL_DEVICE" --projector 10.77.0.2 \
            --local 10.77.0.1 --log "$PL_LOG" >"$PL_WORK/receiver.out" 2>&1 &
        pid=$!
    fi
    # The program starts in seconds (tens of seconds in the emulated VM), then sends pen-on.
    # The simulator writes a line per datagram, and a follower of its log would wake with
    # each one, right when the receiver should run: nothing follows the log while the stream
    # lasts, the script sleeps through it.
    if ! wait_for_line "$QR_PROJECTOR_LOG" '^pen-start' 240; then
        log "$PL_RECEIVER: the simulator was not asked for pen states; receiver output:"
        cat "$PL_WORK/receiver.out" >&2
        exit 1
    fi
    sleep "$PL_STREAM_SECONDS"
    if ! wait_for_line "$QR_PROJECTOR_LOG" '^pen-done' $((PL_SECONDS + 60)); then
        log "$PL_RECEIVER: the simulator did not finish; receiver output:"
        cat "$PL_WORK/receiver.out" >&2
        exit 1
    fi
    sleep 1 # datagrams still in flight reach the receiver
    # Something else on the machine may have ended it already: said, and its log still used
    # (the records it did not handle count as lost).
    kill -TERM "$pid" 2>/dev/null || log "$PL_RECEIVER had ended before it was stopped"
    # The program switches the pen function off, then quits; the minimal receiver quits.
    wait_for_exit "$pid" 30 || { log "$PL_RECEIVER did not end"; exit 1; }
    pid=""
    awk '$1 == "pen-tx" { n += (NF - 2) / 13 } END { print n + 0 }' "$QR_PROJECTOR_LOG" \
        >"$PL_WORK/sent"
    cp "$QR_PROJECTOR_LOG" "$PL_WORK/projector.log"
    if [ -n "$xvfb" ]; then
        if [ -n "$tray" ]; then
            kill "$tray" 2>/dev/null || log "the tray host had ended (see $PL_WORK/tray.log)"
            wait "$tray" 2>/dev/null || true
            tray=""
        fi
        kill "$xvfb" 2>/dev/null || log "Xvfb had ended before the run did (see $PL_WORK/xvfb.log)"
        wait "$xvfb" 2>/dev/null || true
        xvfb=""
    fi
    exit 0
fi

# p50, p99 (nearest rank) and maximum in microseconds of the datagrams with records after the
# warm-up of each log, the records sent and lost, and the largest latency of the warm-ups,
# over the latency logs given (with a file "sent" beside each).
summarise() {
    local sorted=$1 warmup sent received
    shift
    awk -v skip=$((warmup_seconds * 1000000000)) \
        'FNR == 1 { first = $1 } $3 > 0 && $1 - first >= skip { print ($2 - $1) / 1000.0 }' \
        "$@" | sort -g >"$sorted"
    warmup=$(awk -v skip=$((warmup_seconds * 1000000000)) \
        'FNR == 1 { first = $1 } $3 > 0 && $1 - first < skip && ($2 - $1) / 1000.0 > m { m = ($2 - $1) / 1000.0 }
         END { printf "%.1f", m }' "$@")
    received=$(awk '{ n += $3 } END { print n + 0 }' "$@")
    sent=0
    for log in "$@"; do sent=$((sent + $(cat "$(dirname "$log")/sent"))); done
    awk -v received="$received" -v sent="$sent" '
        { v[NR] = $1 }
        END {
            if (NR == 0) { printf "%9s %9s %9s %9s %8s %6s", 0, "-", "-", "-", sent, sent - received; exit }
            p50 = v[int(NR * 0.50 + 0.999999)]; p99 = v[int(NR * 0.99 + 0.999999)]
            printf "%9d %9.1f %9.1f %9.1f %8d %6d", NR, p50, p99, v[NR], sent, sent - received
        }' "$sorted"
    printf ' %10s' "$warmup"
}

# ---------------------------------------------------------------------------------------
# The cases of one path: for each load, $rounds rounds of the program and the minimal
# receiver taking turns (the one that went second goes first in the next round), each run in
# a new namespace pair with a new simulator; the figures pool the rounds, so a change of the
# machine's load during the run weighs on both receivers alike.
if [ "$mode" = cases ]; then
    : "${out:?}"
    [ -x "$bin/QuillRelay" ] && [ -x "$bin/projector-sim" ] && [ -x "$bin/pen-latency-minimal" ] ||
        { log "build QuillRelay, projector-sim and pen-latency-minimal in $build first"; exit 1; }
    limit=$(((seconds + warmup_seconds) * rate))
    # The first datagram comes after the program has settled. Without a tray (the VM) it
    # shows its no-tray notice 8 s after start, which takes seconds of the GUI thread in the
    # emulated VM: there the stream starts after that.
    delay=2000
    [ "$device" = uinput ] && delay=9000
    results=$out/$device.results
    runs=$out/$device.runs
    : >"$results"
    : >"$runs"
    for load_case in "one-pen long-circle" "ten-pens ten-pens"; do
        set -- $load_case
        name=$1 script=$2
        order=(program minimal)
        for round in $(seq 1 "$rounds"); do
            for receiver in "${order[@]}"; do
                work=$out/$device-$name-$receiver-$round
                rm -rf "$work"
                mkdir -p "$work"
                before=$(load)
                PL_RECEIVER=$receiver PL_DEVICE=$device PL_LOG=$work/latency.log \
                    PL_SECONDS=$seconds PL_WORK=$work \
                    PL_STREAM_SECONDS=$(((delay + 999) / 1000 + seconds + warmup_seconds)) \
                    "$root/tools/netns-pair.sh" --name "lat-$receiver" \
                    --projector "$bin/projector-sim --projector 10.77.0.2 --pen-script $script --pen-loop --pen-rate $rate --pen-limit $limit --pen-delay $delay --ready-file @READY@" \
                    -- "$self" --inside --build "$build" >"$work/run.out" 2>&1 ||
                    { log "$device $name $receiver failed:"; cat "$work/run.out" >&2; exit 1; }
                [ -f "$work/latency.log" ] || { log "$receiver wrote no latency log"; exit 1; }
                printf '%-7s %-9s %-8s %s   round %d, load %s\n' "$device" "$name" "$receiver" \
                    "$(summarise "$work/latency.sorted" "$work/latency.log")" "$round" "$before" \
                    >>"$runs"
            done
            order=("${order[1]}" "${order[0]}")
        done
        for receiver in program minimal; do
            printf '%-7s %-9s %-8s %s\n' "$device" "$name" "$receiver" \
                "$(summarise "$out/$device-$name-$receiver.sorted" \
                    "$out/$device-$name-$receiver"-*/latency.log)" >>"$results"
        done
    done
    exit 0
fi

# ---------------------------------------------------------------------------------------
# Outside: Xvfb for the XTest path, the VM for the uinput path, then the table.
[ "$(id -u)" -eq 0 ] || { log "network namespaces and the uinput VM need root"; exit 1; }
out=${out:-$(mktemp -d /tmp/pen-latency.XXXXXX)}
mkdir -p "$out"
out=$(cd "$out" && pwd -P)

echo "pen latency: $rounds rounds of $seconds s per receiver and load, at $rate datagrams/s after $warmup_seconds s of warm-up"
echo "started $(date -u +%FT%TZ)"
echo "load before (1, 5, 15 min): $(load)   [$(uptime)]"
paths=()
case "$path" in
    xtest|uinput) paths=("$path") ;;
    all) paths=(xtest uinput) ;;
    *) log "--path is xtest, uinput or all"; exit 2 ;;
esac
for p in "${paths[@]}"; do
    if [ "$p" = xtest ]; then
        "$self" --cases xtest --build "$build" --seconds "$seconds" --rounds "$rounds" --out "$out"
    else
        vm=${UINPUT_VM_RUN:-$root/../shared/uinput-vm/run}
        # The VM shares the current folder read-write and the rest of / read-only; veth
        # makes the namespace pair inside it.
        (cd "$out" && UINPUT_VM_MODULES=veth "$vm" -q --timeout $((rounds * 4 * (seconds + 60) + 120)) -- \
            env QT_QPA_PLATFORM=offscreen "$self" --cases uinput --build "$build" \
            --seconds "$seconds" --rounds "$rounds" --out "$out") ||
            { log "the uinput VM run failed"; exit 1; }
    fi
done
echo "load after (1, 5, 15 min):  $(load)"
echo
printf '%-7s %-9s %-8s %9s %9s %9s %9s %8s %6s %10s\n' path load receiver datagrams \
    p50_us p99_us max_us records lost warmup_max
for p in "${paths[@]}"; do
    cat "$out/$p.results"
    # The program's share against the minimal receiver's, per load.
    awk '{ key = $1 " " $2 } $3 == "program" { p50[key] = $5; p99[key] = $6 }
         $3 == "minimal" && (key in p50) && $5 > 0 && $6 > 0 {
             printf "%-7s %-9s program/minimal: p50 %.2fx  p99 %.2fx\n", $1, $2, p50[key] / $5, p99[key] / $6 }' \
        "$out/$p.results"
done
echo
echo "each run by itself (load: 1, 5, 15 min at its start; in the VM the VM's own):"
for p in "${paths[@]}"; do cat "$out/$p.runs"; done
echo "logs: $out"
