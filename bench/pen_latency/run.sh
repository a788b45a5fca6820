#!/usr/bin/env bash
# run.sh: the pen path's own latency, in the real program and in a minimal receiver.
#
#   bench/pen_latency/run.sh [--build DIR] [--path xtest|uinput|all] [--loads idle|busy|all]
#                            [--seconds N] [--rounds N] [--out DIR]
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
#   busy loads (--loads busy or all; XTest path): the program under one pen while one of
#           its dialogs keeps the GUI thread at work, in the same rounds as the idle program
#           and the minimal receiver (all four take turns), printed with their p99 as a
#           multiple of the idle program's. One pen is the tight load for that ratio: its
#           idle p99 is the smallest, so a stall of the GUI thread shows at full size. And
#           its pointer circles round the dialogs, which open in the middle of the screen,
#           so the dialog's work is the load's alone; in mouse mode the one pointer of ten
#           pens jumps between ten circles 2000 times a second, across both dialogs, and
#           their hover marks would repaint about 90 times a second.
#           search  Communication Settings, Auto Search: the Projector List searches the
#                   pair (a broadcast search lasts 2 s) and Update (Alt+U) is pressed every
#                   2.25 s, so a new search follows each; five simulated projectors on
#                   10.77.0.2-6 answer each of its four requests, between 0 and 1.1 s late.
#           redraw  Communication Settings with a host name typed into its field and erased
#                   again at about 23 keys a second, as a held key repeats (some 55
#                   repaints a second).
#           The dialogs are opened as a user would: a click on the tray icon, then the
#           keyboard (xdotool). A busy run fails unless the simulator saw search requests
#           (search) or the X server saw the dialog drawn into (redraw, with
#           pen-latency-repaints) all through the counted part of the stream; each run
#           leaves screen.png, the screen as the stream ended.
#   paths:  xtest   the program's mouse mode through XTest, on a private Xvfb per run with a
#                   tray (trayer)
#           uinput  the program's touch mode on a uinput touchscreen, in the uinput VM
#                   (../shared/uinput-vm/run, or $UINPUT_VM_RUN), where the whole namespace
#                   pair runs inside the VM: the VM has no network of its own. It runs the
#                   program on the offscreen platform, without windows to drive: the busy
#                   loads run on the XTest path only.
# Needs root (namespaces, the VM). Everything it writes goes to DIR (default: a new /tmp
# folder).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
self=$here/$(basename "$0")
root=$(cd "$here/../.." && pwd)
build=$root/build
path=all
loads=all
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
        --loads) loads=$2; shift 2 ;;
        --seconds) seconds=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        # Internal: the cases of one path (in the VM for uinput), and one case inside the
        # computer namespace.
        --cases) mode=cases; device=$2; shift 2 ;;
        --inside) mode=inside; shift ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "pen_latency: unknown option $1" >&2; exit 2 ;;
    esac
done
case "$seconds$rounds" in ''|*[!0-9]*) echo "pen_latency: --seconds and --rounds take numbers" >&2; exit 2 ;; esac
case "$loads" in idle|busy|all) ;; *) echo "pen_latency: --loads is idle, busy or all" >&2; exit 2 ;; esac

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
# The busy loads' driver, on the private X server: what a user does with mouse and keyboard.

# The program's tray icon: its small window inside the tray host.
tray_icon() {
    local window WIDTH HEIGHT
    for window in $(xdotool search --onlyvisible --class QuillRelay 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
        if [ "$WIDTH" -ge 8 ] && [ "$WIDTH" -le 64 ] && [ "$HEIGHT" -ge 8 ] && [ "$HEIGHT" -le 64 ]; then
            echo "$window"
            return 0
        fi
    done
    return 1
}

# A visible window titled exactly TITLE, waited for up to SECONDS; prints its id.
window_titled() {
    timeout "$2" xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -1
}

# Opens Communication Settings from the tray menu and prints the dialog's window id. The
# program takes the menu only once its pen-on exchange has ended, so a try that finds no
# dialog is made again.
open_settings() {
    local try i icon before settings
    for try in 1 2 3; do
        for i in $(seq 100); do icon=$(tray_icon) && break; sleep 0.1; done
        [ -n "$icon" ] || return 1
        before=$(xdotool search --onlyvisible --class QuillRelay | sort)
        xdotool mousemove --window "$icon" 8 8 click 1
        # The menu is a new window of the program.
        for i in $(seq 50); do
            [ "$(xdotool search --onlyvisible --class QuillRelay | sort)" != "$before" ] && break
            sleep 0.1
        done
        # Counted from the bottom (Exit, About, Communication Settings): the items at the
        # top depend on whether touch can be chosen.
        xdotool key Up Up Up Return
        settings=$(window_titled 'Select a connection' 10)
        if [ -n "$settings" ]; then
            echo "$settings"
            return 0
        fi
        xdotool key Escape
    done
    return 1
}

# Starts the busy load named by $1 in the background and the repaint counter on the dialog
# it keeps busy. There is no window manager: each dialog is given the keyboard focus as it
# opens, as a click on it would.
busy_pids=()
start_busy() {
    local settings list watched
    settings=$(open_settings) || { log "$1: Communication Settings did not open"; return 1; }
    xdotool windowfocus --sync "$settings"
    if [ "$1" = search ]; then
        # The focus starts on the first choice; three back are Close, Connect, Auto Search.
        xdotool key shift+Tab shift+Tab shift+Tab space
        list=$(window_titled 'Projector List' 10)
        [ -n "$list" ] || { log "search: the Projector List did not open"; return 1; }
        xdotool windowfocus --sync "$list"
        watched=$list
        # A broadcast search ends 2 s after its start (four requests 500 ms apart); Update
        # pressed while one runs only retargets it.
        setsid bash -c 'while :; do sleep 2.25; xdotool key alt+u; done' >/dev/null 2>&1 &
    else
        # The arrow moves to the other choice, Host Name, and Tab to its field.
        xdotool key Down Tab
        watched=$settings
        local name=projector-room-301.example
        local erase
        erase=$(printf 'BackSpace %.0s' $(seq ${#name}))
        setsid bash -c "while :; do xdotool type --delay 40 '$name'; xdotool key --delay 40 $erase; done" \
            >/dev/null 2>&1 &
    fi
    busy_pids+=($!)
    "$bin/pen-latency-repaints" --log "$PL_WORK/repaints.log" "$watched" 2>>"$PL_WORK/busy.log" &
    busy_pids+=($!)
}

# The screen as the stream ended, then the driver and the counter stop (the counter then
# writes its log).
stop_busy() {
    xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$PL_WORK/screen.png" ||
        log "no screenshot (xwd, netpbm)"
    kill -TERM -- "-${busy_pids[0]}" 2>/dev/null || log "the busy driver had ended"
    kill -TERM "${busy_pids[1]}" 2>/dev/null || log "the repaint counter had ended"
    wait "${busy_pids[@]}" 2>/dev/null || true
    busy_pids=()
}

# ---------------------------------------------------------------------------------------
# One receiver against the simulator, inside the computer namespace. PL_RECEIVER is program,
# minimal, or a busy load of the program (search, redraw).
if [ "$mode" = inside ]; then
    : "${QR_PROJECTOR_LOG:?}" "${PL_RECEIVER:?}" "${PL_DEVICE:?}" "${PL_LOG:?}"
    : "${PL_SECONDS:?}" "${PL_STREAM_SECONDS:?}" "${PL_WORK:?}"
    busy=""
    case "$PL_RECEIVER" in search|redraw) busy=$PL_RECEIVER ;; esac
    pid=""
    xvfb=""
    tray=""
    trap '[ ${#busy_pids[@]} -gt 0 ] && kill -- "-${busy_pids[0]}" "${busy_pids[1]}" 2>/dev/null;
          [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null; [ -n "$tray" ] && kill "$tray";
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
        if [ "$PL_RECEIVER" != minimal ]; then
            # A tray, as on a desktop: without one the program shows its no-tray notice, a
            # window in the middle of the screen that the pens would cross and repaint.
            trayer --edge top --align right --widthtype request --height 28 \
                >"$PL_WORK/tray.log" 2>&1 &
            tray=$!
            timeout 10 xdotool search --sync --class trayer >/dev/null 2>&1 ||
                { log "the tray host did not come up"; exit 1; }
        fi
    fi
    if [ "$PL_RECEIVER" != minimal ]; then
        # A private settings home pointing at the simulated projector; mouse mode on XTest
        # (there is no uinput outside the VM), touch mode on the uinput touchscreen. English
        # texts, which the busy loads find the dialogs by.
        pen_mode=1
        [ "$PL_DEVICE" = uinput ] && pen_mode=0
        home=$PL_WORK/home
        mkdir -p "$home/config/Lumoravista" "$home/runtime"
        chmod 700 "$home/runtime"
        printf '[Settings]\nType=0\nIpAddress=10.77.0.2\nHostName=\nPort=7142\nPenMode=%s\nAdapter=pc0\n' \
            "$pen_mode" >"$home/config/Lumoravista/Quill Relay.conf"
        env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime" \
            LC_ALL=C.UTF-8 LANGUAGE= QUILLRELAY_PEN_LATENCY_LOG="$PL_LOG" "$bin/QuillRelay" \
            >"$PL_WORK/receiver.out" 2>&1 &
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
    # The busy load starts in the pause before the first datagram; whether it ran through
    # the stream is judged from the logs afterwards.
    if [ -n "$busy" ]; then
        started=$EPOCHREALTIME
        start_busy "$busy" || exit 1
        awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f\n", b - a }' \
            >"$PL_WORK/busy-start-seconds"
    fi
    sleep "$PL_STREAM_SECONDS"
    if ! wait_for_line "$QR_PROJECTOR_LOG" '^pen-done' $((PL_SECONDS + 60)); then
        log "$PL_RECEIVER: the simulator did not finish; receiver output:"
        cat "$PL_WORK/receiver.out" >&2
        exit 1
    fi
    sleep 1 # datagrams still in flight reach the receiver
    [ -n "$busy" ] && stop_busy
    # Something else on the machine may have ended it already: said, and its log still used
    # (the records it did not handle count as lost).
    kill -TERM "$pid" 2>/dev/null || log "$PL_RECEIVER had ended before it was stopped"
    # The program switches the pen function off, then quits (with a dialog open it quits
    # after its 5 s grace, pen function still on); the minimal receiver quits.
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

# Whether a busy load ran all through the counted part of a run's stream, from the logs in
# its folder WORK. Prints what it found as "name=value" fields (gaps in seconds), and fails
# when the load paused longer than it should anywhere in that part:
#   search  the simulator's log, where the requests stand among the pen datagrams in the
#           order they happened: searches, requests and replies after the warm-up, and the
#           longest stretch of datagrams without a new request (a search sends one each
#           500 ms, and the next one starts 0.75 s after the last request of the one before)
#   both    the repaints the X server saw against the latency log's receive stamps:
#           repaints a second in the counted part, and the longest time without one
busy_evidence() {
    local kind=$1 work=$2 fields
    fields=$(awk -v skip=$((warmup_seconds * 1000000000)) '
        FNR == NR { if (FNR == 1) start = $1 + skip; end = $1; next }
        $1 <= start { prev = $1; next }
        $1 <= end { worst = (prev == "" ? 1e18 : ($1 - prev > worst ? $1 - prev : worst))
                    prev = $1; count++ }
        END {
            if (prev == "" || end - prev > worst) worst = (prev == "" ? 1e18 : end - prev)
            printf "repaints=%d repaint_seconds=%.3f repaint_gap=%.3f", count, (end - start) / 1e9, worst / 1e9
        }' "$work/latency.log" "$work/repaints.log")
    if [ "$kind" = search ]; then
        fields="$fields $(awk -v warm=$((warmup_seconds * rate)) -v rate=$rate '
            $1 == "pen-tx" { n++; if (n > warm) { age = (seen ? n - last : n); if (age > worst) worst = age }; next }
            $1 == "search-rx" && $2 ~ /[.]255$/ && $4 == "cmd=2" {
                seen = 1; last = n
                if (n >= warm) { requests++; searches[$5] = 1 }
                next }
            $1 == "search-tx" && n >= warm { replies++ }
            END {
                for (s in searches) count++
                printf "searches=%d requests=%d replies=%d request_gap=%.3f", count, requests, replies, worst / rate
            }' "$work/projector.log")"
    fi
    echo "$fields"
    awk -v kind="$kind" -v f="$fields" 'BEGIN {
        n = split(f, kv, /[ =]/); for (i = 1; i < n; i += 2) v[kv[i]] = kv[i + 1]
        exit !(kind == "search" ? v["requests"] > 0 && v["request_gap"] <= 1.5 \
                                : v["repaints"] > 0 && v["repaint_gap"] <= 0.5) }'
}

# The evidence of a busy load in words, from busy_evidence's fields (of one run, or summed
# over the runs with the longest gaps kept).
busy_words() {
    awk -v kind="$1" '{ for (i = 1; i <= NF; i++) { split($i, kv, "="); k = kv[1]; x = kv[2]
                           if (k ~ /gap$/) { if (x > v[k]) v[k] = x } else v[k] += x } }
        END {
            rate = v["repaint_seconds"] > 0 ? v["repaints"] / v["repaint_seconds"] : 0
            if (kind == "search")
                printf "%d searches, %d requests, %d replies, at most %.2f s without a request; list %.1f repaints/s",
                    v["searches"], v["requests"], v["replies"], v["request_gap"], rate
            else
                printf "%.1f repaints/s of the dialog, at most %.2f s without one", rate, v["repaint_gap"]
        }'
}

# ---------------------------------------------------------------------------------------
# The cases of one path: for each load, $rounds rounds of its receivers taking turns (the
# first of a round goes last in the next), each run in a new namespace pair with a new
# simulator; the figures pool the rounds, so a change of the machine's load during the run
# weighs on all receivers alike. Receivers: program and minimal, and with one pen on XTest
# the busy loads of the program.
if [ "$mode" = cases ]; then
    : "${out:?}"
    [ -x "$bin/QuillRelay" ] && [ -x "$bin/projector-sim" ] && [ -x "$bin/pen-latency-minimal" ] ||
        { log "build QuillRelay, projector-sim and pen-latency-minimal in $build first"; exit 1; }
    if [ "$loads" = idle ] || [ "$device" = uinput ]; then
        cases=("one-pen long-circle program minimal" "ten-pens ten-pens program minimal")
    elif [ "$loads" = busy ]; then
        cases=("one-pen long-circle program search redraw")
    else
        cases=("one-pen long-circle program minimal search redraw" "ten-pens ten-pens program minimal")
    fi
    case "${cases[*]}" in
        *search*)
            for tool in xdotool xwd xwdtopnm pnmtopng; do
                command -v "$tool" >/dev/null || { log "the busy loads need $tool (scripts/install-deps.sh)"; exit 1; }
            done
            [ -x "$bin/pen-latency-repaints" ] ||
                { log "build pen-latency-repaints in $build (libxdamage-dev) for the busy loads"; exit 1; } ;;
    esac
    limit=$(((seconds + warmup_seconds) * rate))
    results=$out/$device.results
    runs=$out/$device.runs
    : >"$results"
    : >"$runs"
    for load_case in "${cases[@]}"; do
        set -- $load_case
        name=$1 script=$2
        shift 2
        order=("$@")
        for round in $(seq 1 "$rounds"); do
            for receiver in "${order[@]}"; do
                work=$out/$device-$name-$receiver-$round
                rm -rf "$work"
                mkdir -p "$work"
                # The first datagram comes after the program has settled. Without a tray (the
                # VM) it shows its no-tray notice 8 s after start, which takes seconds of the
                # GUI thread in the emulated VM: there the stream starts after that. A busy
                # load opens its dialog first (its own check says whether it was in time).
                delay=2000
                [ "$device" = uinput ] && delay=9000
                projectors="--projector 10.77.0.2"
                extra=0
                case "$receiver" in
                    search)
                        delay=5000
                        projectors="--projector 10.77.0.2,name=Hall --projector 10.77.0.3,name=Room-301,delay=150 --projector 10.77.0.4,name=Foyer,delay=400 --projector 10.77.0.5,name=Lab,delay=700 --projector 10.77.0.6,name=Library,delay=1100"
                        extra=4 ;;
                    redraw) delay=5000 ;;
                esac
                before=$(load)
                PL_RECEIVER=$receiver PL_DEVICE=$device PL_LOG=$work/latency.log \
                    PL_SECONDS=$seconds PL_WORK=$work \
                    PL_STREAM_SECONDS=$(((delay + 999) / 1000 + seconds + warmup_seconds)) \
                    "$root/tools/netns-pair.sh" --name "lat-$receiver" --extra "$extra" \
                    --projector "$bin/projector-sim $projectors --pen-script $script --pen-loop --pen-rate $rate --pen-limit $limit --pen-delay $delay --ready-file @READY@" \
                    -- "$self" --inside --build "$build" >"$work/run.out" 2>&1 ||
                    { log "$device $name $receiver failed:"; cat "$work/run.out" >&2; exit 1; }
                [ -f "$work/latency.log" ] || { log "$receiver wrote no latency log"; exit 1; }
                evidence=""
                case "$receiver" in
                    search|redraw)
                        if ! busy_evidence "$receiver" "$work" >"$work/busy"; then
                            log "$device $name $receiver, round $round: the $receiver load did not last through the stream ($(busy_words "$receiver" <"$work/busy")); the program measured was not busy. See $work/screen.png and $work/run.out"
                            exit 1
                        fi
                        evidence="; $(busy_words "$receiver" <"$work/busy"), dialog open after $(cat "$work/busy-start-seconds") s" ;;
                esac
                printf '%-7s %-9s %-8s %s   round %d, load %s%s\n' "$device" "$name" "$receiver" \
                    "$(summarise "$work/latency.sorted" "$work/latency.log")" "$round" "$before" \
                    "$evidence" >>"$runs"
            done
            order=("${order[@]:1}" "${order[0]}")
        done
        for receiver in program minimal search redraw; do
            [ -d "$out/$device-$name-$receiver-1" ] || continue
            printf '%-7s %-9s %-8s %s\n' "$device" "$name" "$receiver" \
                "$(summarise "$out/$device-$name-$receiver.sorted" \
                    "$out/$device-$name-$receiver"-*/latency.log)" >>"$results"
            case "$receiver" in
                search|redraw)
                    cat "$out/$device-$name-$receiver"-*/busy | tr '\n' ' ' | busy_words "$receiver" \
                        >"$out/$device-$name-$receiver.busy" ;;
            esac
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
if [ "$loads" = busy ]; then
    [ "$path" = uinput ] && { log "the busy loads run on the XTest path only"; exit 2; }
    paths=(xtest)
fi
for p in "${paths[@]}"; do
    if [ "$p" = xtest ]; then
        "$self" --cases xtest --build "$build" --loads "$loads" --seconds "$seconds" \
            --rounds "$rounds" --out "$out"
    else
        vm=${UINPUT_VM_RUN:-$root/../shared/uinput-vm/run}
        # The VM shares the current folder read-write and the rest of / read-only; veth
        # makes the namespace pair inside it.
        (cd "$out" && UINPUT_VM_MODULES=veth "$vm" -q --timeout $((rounds * 4 * (seconds + 60) + 120)) -- \
            env QT_QPA_PLATFORM=offscreen "$self" --cases uinput --build "$build" --loads "$loads" \
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
    # The program's share against the minimal receiver's, and a busy program's against the
    # idle one's, per load.
    awk '{ key = $1 " " $2 } $3 == "program" { p50[key] = $5; p99[key] = $6 }
         $3 == "minimal" && (key in p50) && $5 > 0 && $6 > 0 {
             printf "%-7s %-9s program/minimal: p50 %.2fx  p99 %.2fx\n", $1, $2, p50[key] / $5, p99[key] / $6 }
         ($3 == "search" || $3 == "redraw") && (key in p99) && p50[key] > 0 && p99[key] > 0 {
             r = $6 / p99[key]
             printf "%-7s %-9s %-6s  busy/idle p99 %.2fx  p50 %.2fx  (p99 within 1.5x of idle: %s)\n",
                 $1, $2, $3, r, $5 / p50[key], r <= 1.5 ? "yes" : "NO" }' "$out/$p.results"
    for f in "$out/$p"-*.busy; do
        [ -e "$f" ] || continue
        b=${f##*/}
        b=${b%.busy}
        printf '%-7s %-9s %-6s  %s\n' "$p" "$(echo "$b" | cut -d- -f2-3)" "${b##*-}" "$(cat "$f")"
    done
done
echo
echo "each run by itself (load: 1, 5, 15 min at its start; in the VM the VM's own):"
for p in "${paths[@]}"; do cat "$out/$p.runs"; done
echo "logs: $out"
