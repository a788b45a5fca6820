#!/bin/bash
# The Windows Installer package under Wine's msiexec, against the Linux projector simulator
# (machinery: wine-session.sh), quietly and by properties as an admin's deployment runs it:
#
#   msi-under-wine.sh MSI PROGRAM_EXE PROGRAM_FOLDER PRESET_CHECK_DLL VERSION PROJECTOR_SIM
#
#   1. a preset value that the program would refuse (PORT=65536) stops the installation
#      with the reason in the log, and nothing is left behind;
#   2. the preset as properties: exactly the given values in HKLM, the files, the logon
#      task, the Start-menu entry; the installed program connects from them (PEN_ON);
#   3. the same program packaged as a later version (built here from PROGRAM_FOLDER, third
#      field up) upgrades it while it runs: the instance ends as Exit ends it (PEN_OFF),
#      one product stays registered, with the preset and the user's settings;
#   4. uninstalled by product code while it runs again: PEN_OFF, program, entry and task
#      gone, the preset and the user's settings kept.
# Prints the figures and exits 0, 1 on a fault, 77 when Wine, Xvfb or namespaces are missing.
[ $# -eq 6 ] || { sed -n '5p' "$0" >&2; exit 2; }
simulator=$6 files=("$1" "$2" "$3" "$4")
. "$(dirname "$0")/wine-session.sh"
msi=$1
# The next version raises the third field: Windows Installer compares only the first three.
IFS=. read -r major minor patch tweak <<<"$5"
newer="$major.$minor.$((patch + 1)).$tweak"
"$(dirname "$0")/../../packaging/windows/build-msi.sh" "$3" "$newer" "$4" "$work/newer.msi" \
    >"$work/newer.log" 2>&1 &
build_pid=$!

quiet_msiexec() { # LOG ARGUMENTS...: Wine's msiexec with no UI and a full log
    local log=$1
    shift
    logs+=("$log")
    timeout 120 "$wine" msiexec "$@" /qn /l*v "Z:${log//\//\\}"
}
# The product codes registered under the name Quill Relay.
products() {
    "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
        tr -d '\r' | awk '/^HKEY/ { key = $0 } /DisplayName +REG_SZ +Quill Relay$/ { sub(/.*\\/, "", key); print key }'
}
settings_left() { echo "preset IpAddress=$(reg_value "$preset" IpAddress), user's IpAddress=$(reg_value "$settings" IpAddress)"; }

# --- 1. A refused preset value --------------------------------------------------------
quiet_msiexec "$work/refused.log" /i "Z:${msi//\//\\}" PROJECTORIP=10.77.0.2 PORT=65536 &&
    fail "the package installed with PORT=65536"
grep -q 'PORT="65536" is not a port from 1 to 65535' "$work/refused.log" ||
    fail "the log does not say why PORT=65536 was refused"
check_removed "the refused installation"
[ -z "$(products)" ] || fail "the refused installation registered the product"
"$wine" reg query "$preset" >/dev/null 2>&1 && fail "the refused installation wrote a preset"

# --- 2. The preset as properties; the program connects from it ------------------------
adapter="ethernet_$(cat /sys/class/net/pc0/ifindex)"
quiet_msiexec "$work/install.log" /i "Z:${msi//\//\\}" PROJECTORIP=10.77.0.2 PORT=7142 PENMODE=1 \
    CONNECTBY=0 ADAPTER="$adapter" 'SCREEN=\\.\DISPLAY2' || fail "the installation exited with $?"
check_installed
written=$("$wine" reg query "$preset" 2>/dev/null | tr -d '\r' | awk 'NF >= 3 { print $1 "=" $3 }' | sort | tr '\n' ' ')
[ "$written" = "Adapter=$adapter IpAddress=10.77.0.2 PenMode=0x1 Port=0x1be6 Screen=\\\\.\\DISPLAY2 Type=0x0 " ] ||
    fail "the preset in HKLM is not the given properties (HOSTNAME not given): $written"
run_program "$work/program.log"
wait_for_frame "$pen_on" 1 || fail "the installed program did not connect from the preset"

# --- 3. An upgrade while the program runs ---------------------------------------------
wait "$build_pid" || { cat "$work/newer.log" >&2; fail "no package of version $newer"; }
quiet_msiexec "$work/upgrade.log" /i "Z:${work//\//\\}\\newer.msi" || fail "the upgrade exited with $?"
wait_for_frame "$pen_off" 1 || fail "the upgrade did not end the running instance as Exit does"
wait_for "$work/program.log" "^exit " 30 || fail "the program still runs after the upgrade"
product=$(products)
version=$(reg_value "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product" DisplayVersion)
[ "$(wc -l <<<"$product")" -eq 1 ] && [ "$version" = "$newer" ] ||
    fail "after the upgrade, registered: $product (version $version)"
check_installed
upgraded=$(settings_left)
[ "$upgraded" = "preset IpAddress=10.77.0.2, user's IpAddress=10.77.0.2" ] || fail "after the upgrade: $upgraded"

# --- 4. Uninstalled by product code while the program runs ----------------------------
run_program "$work/again.log"
wait_for_frame "$pen_on" 2 || fail "the upgraded program did not connect"
quiet_msiexec "$work/uninstall.log" /x "$product" || fail "the uninstallation exited with $?"
wait_for_frame "$pen_off" 2 || fail "the uninstallation did not end the running instance as Exit does"
check_removed "the uninstallation"
[ -z "$(products)" ] || fail "the uninstallation left the product registered"
[ "$(settings_left)" = "$upgraded" ] || fail "after the uninstallation: $(settings_left)"

# --- Figures --------------------------------------------------------------------------
first_frame=$(grep -m1 '^cmd-rx' "$QR_PROJECTOR_LOG" | cut -d' ' -f3-)
[ "$first_frame" = "$pen_on" ] || fail "PEN_ON frame: $first_frame"
note "refused: $(grep -o 'Quill Relay: PORT=.*' "$work/refused.log" | head -1)"
note "preset written from the properties: $written"
note "PEN_ON at start: $first_frame; PEN_OFF $(grep -c "^cmd-rx .* $pen_off\$" "$QR_PROJECTOR_LOG") times (upgrade, uninstallation)"
note "upgraded to $version, one product registered ($product); $upgraded"
note "uninstalled: program, logon task, Start-menu entry and product gone; $(settings_left)"
wine_session_end "the Windows Installer package under Wine"
