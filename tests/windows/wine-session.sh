# The machinery of the Windows program's runs under Wine, sourced by program-under-wine.sh
# (the NSIS installer) and msi-under-wine.sh (the Windows Installer package). The caller sets
#   simulator   the Linux projector simulator
#   files       the package, the build's QuillRelay.exe (which the package must not be older
#               than), and other files the run needs
# and may set
#   screens     the monitors, left to right, each WxH (default: one of 1280x800); more than
#               one are the heads of a Xinerama desktop (Xephyr inside a private Xvfb)
#   primary     which of them is the primary monitor, from 0 (default 0); Wine puts its
#               corner at 0,0 and those left of it at negative x
#   log_pixels  the desktop's DPI, Wine's LogPixels (default 96: 100 %)
# and sources this file with its own arguments. Outside the namespace pair it checks what is
# needed (exit 77 without Wine, Xvfb or namespaces) and runs the caller again in a pair
# (tools/netns-pair.sh) with the simulator next door; inside, it makes a work folder, a
# private Xvfb and a fresh Wine prefix (Windows 10), where every Wine process of the run is
# started, and gives the helpers below. Every wait waits for a line or a process.
# By hand: QR_WINE_TRACE=1 traces the run, QR_WINE_KEEP=DIR keeps its logs and prefix.
set -u
[ -n "${QR_WINE_TRACE:-}" ] && set -x
tools="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../../tools"
wine=${QR_WINE:-/usr/lib/wine/wine64}
project_name="会議室プロジェクタ"

if [ -z "${QR_NETNS_COMPUTER:-}" ]; then
    for tool in "$wine" "$(command -v Xvfb)"; do
        [ -x "$tool" ] || { echo "SKIPPED: Wine (wine64) and Xvfb are needed" >&2; exit 77; }
    done
    if [ "$(wc -w <<<"${screens:-}")" -gt 1 ] && ! command -v Xephyr >/dev/null; then
        echo "SKIPPED: Xephyr (xserver-xephyr) is needed for a desktop of several monitors" >&2
        exit 77
    fi
    [ -x "$simulator" ] || { echo "SKIPPED: no Linux projector simulator at $simulator (build the Linux tree first)" >&2; exit 77; }
    for file in "${files[@]}"; do
        [ -e "$file" ] || { echo "FAIL: $file is missing (scripts/build-windows.sh makes it)" >&2; exit 1; }
    done
    [ "${files[0]}" -nt "${files[1]}" ] || { echo "FAIL: ${files[0]} is older than the program: run scripts/build-windows.sh" >&2; exit 1; }
    exec "$tools/netns-pair.sh" --name "$(basename "$0" .sh)" --projector \
        "'$simulator' --projector '10.77.0.2,name=$project_name' --pen-script line --ready-file @READY@" \
        -- "$0" "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/qr-wine.XXXXXX")
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
wineserver=${wine%/*}/wineserver
pids=()
logs=()
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

# Waits for a line (the COUNTth, default 1) matching PATTERN in FILE, for up to SECONDS; no
# polling: tail follows the file and grep ends at that match.
wait_for() {
    local file=$1 pattern=$2 seconds=$3 count=${4:-1} fifo status=0 follower
    fifo="$work/wait.$RANDOM"
    mkfifo "$fifo"
    timeout "$seconds" tail -n +1 -F "$file" >"$fifo" 2>/dev/null &
    follower=$!
    [ "$(grep -m "$count" -c -- "$pattern" <"$fifo")" -eq "$count" ] || status=1
    kill "$follower" 2>/dev/null
    wait "$follower" 2>/dev/null
    rm -f "$fifo"
    return "$status"
}
# The first value of NAME under KEY, as reg query prints it.
reg_value() { "$wine" reg query "$1" /v "$2" 2>/dev/null | awk -v n="$2" '$1 == n { print $3 }' | tr -d '\r'; }
# Waits until the COUNTth command frame of BYTES (as the simulator logs them) has arrived.
wait_for_frame() { wait_for "$QR_PROJECTOR_LOG" "^cmd-rx .* $1\$" 30 "$2"; }
pen_on="03 CE 00 00 07 00 01 00 4D 0A 8A 20 DA" # 10.77.0.1, pen port 8330
pen_off="03 CE 00 00 01 01 D3"

# The X server, which tells its display number when it listens. Several monitors are the
# heads of a Xinerama desktop side by side: Xephyr places each at its origin, Xvfb cannot.
read -r -a heads <<<"${screens:-1280x800}"
if [ ${#heads[@]} -eq 1 ]; then
    Xvfb -displayfd 3 -screen 0 "${heads[0]}x24" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    pids+=($!)
else
    width=0 height=0 layout=()
    for head in "${heads[@]}"; do
        layout+=(-origin "$width,0" -screen "$head")
        width=$((width + ${head%x*}))
        [ "${head#*x}" -gt "$height" ] && height=${head#*x}
    done
    Xvfb -displayfd 3 -screen 0 "${width}x${height}x24" -nolisten tcp 3>"$work/host" >/dev/null 2>&1 &
    pids+=($!)
    wait_for "$work/host" '^[0-9]' 10 || { fail "Xvfb did not start"; exit 1; }
    DISPLAY=":$(head -1 "$work/host")" Xephyr -displayfd 3 +xinerama "${layout[@]}" \
        -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
    pids+=($!)
fi
wait_for "$work/display" '^[0-9]' 10 || { fail "the X server did not start"; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"

# A fresh prefix, reporting Windows 10; Wine's .NET and browser stand-ins declined. Its
# services must have settled before an installer asks the task scheduler for its folder.
WINEDLLOVERRIDES="mscoree,mshtml=" timeout 120 "$wine" wineboot -i >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
# Wine reads the DPI from here (the programs started after this see it); its monitors come
# from Xinerama only when it does not ask RandR, which sees one output.
"$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "${log_pixels:-96}" /f >/dev/null 2>&1
if [ ${#heads[@]} -gt 1 ]; then
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v PrimaryMonitor /d "${primary:-0}" /f >/dev/null 2>&1
fi
timeout 60 "$wineserver" -w || { fail "Wine's start-up did not settle"; exit 1; }

program_dir="$WINEPREFIX/drive_c/Program Files/Lumoravista/Quill Relay"
program="C:\\Program Files\\Lumoravista\\Quill Relay\\bin\\QuillRelay.exe"
tasks="$WINEPREFIX/drive_c/windows/system32/tasks"
preset='HKLM\Software\Lumoravista\Quill Relay\Settings'
settings='HKCU\Software\Lumoravista\Quill Relay\Settings'
# The Start-menu entry, for every user (Wine's msiexec puts the package's into the
# installing user's menu: it does not yet move ProgramMenuFolder to all users).
start_menu_entry() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/*' -name 'Quill Relay.lnk' | head -1; }

run_program() { # LOG: the installed program, its diagnostics on stderr, "exit N" at its end
    logs+=("$1")
    {
        WINEQT_FORCE_STDERR_LOGGING=1 WINEQT_LOGGING_RULES="quillrelay.*.debug=true" \
            "$wine" "$program"
        echo "exit $?"
    } >"$1" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
}

# What both installers leave: the program with its Qt plug-ins and catalogues; a manifest
# that asks for no elevation; the logon task with its definition beside the program (Wine's
# task scheduler keeps a task's name but not its content): at logon, for every user, with
# the highest rights each has; a Start-menu entry that runs the task.
check_installed() {
    local file lnk
    for file in bin/QuillRelay.exe bin/platforms/qwindows.dll bin/styles/qwindowsvistastyle.dll \
        bin/ja-JP/QuillRelay.ja-JP.qm bin/en-US/QuillRelay.en-US.qm "examples/Quill Relay preset.reg"; do
        [ -f "$program_dir/$file" ] || fail "not installed: $file"
    done
    grep -aq 'requestedExecutionLevel level="asInvoker" uiAccess="false"' "$program_dir/bin/QuillRelay.exe" ||
        fail "the installed program's manifest does not run it as the invoker"
    [ -f "$tasks/Quill Relay" ] || fail "no logon task registered"
    iconv -f UTF-16 -t UTF-8 "$program_dir/logon-task.xml" 2>/dev/null | tr -d '\n' |
        grep -q '<LogonTrigger>.*<GroupId>S-1-5-32-545</GroupId><RunLevel>HighestAvailable</RunLevel>.*QuillRelay.exe' ||
        fail "the logon task is not: at logon, every user, highest rights, the program"
    lnk=$(start_menu_entry)
    [ -n "$lnk" ] && strings -a -e l "$lnk" | grep -q '/Run /TN "Quill Relay"' && strings -a "$lnk" | grep -qi 'schtasks.exe' ||
        fail "no Start-menu entry that runs the logon task"
}

check_removed() {
    [ -e "$program_dir/bin" ] && fail "$1 left the program behind"
    [ -f "$tasks/Quill Relay" ] && fail "$1 left the logon task behind"
    [ -n "$(start_menu_entry)" ] && fail "$1 left the Start-menu entry behind"
}

# Prints the program's logs when something failed, and the verdict.
wine_session_end() {
    if [ "$failures" -ne 0 ]; then
        for log in "${logs[@]}"; do echo "---- ${log##*/} ----"; tr -d '\r' <"$log"; done >&2
        exit 1
    fi
    echo "PASS: $1"
    exit 0
}
