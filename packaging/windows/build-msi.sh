#!/bin/bash
# Builds the Windows Installer package on Linux with wixl and msibuild (Debian's wixl and
# msitools):
#
#   build-msi.sh PROGRAM_FOLDER VERSION PRESET_CHECK_DLL OUTPUT.msi
#
# PROGRAM_FOLDER is the installed tree of the Windows build (bin\ and examples\, as
# scripts/build-windows.sh leaves it); VERSION the product version, of which Windows
# Installer compares the first three fields.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 4 ] || { sed -n '5p' "$0" >&2; exit 2; }
staging=$(realpath "$1") version=$2 dll=$(realpath "$3") out=$(realpath -m "$4")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# wixl takes only paths relative to the folder it runs in.
ln -s "$staging" "$work/program"
ln -s "$dll" "$work/presetcheck.dll"
ln -s "$here/../../resources/app/quillrelay.ico" "$work/quillrelay.ico"
iconv -f UTF-8 -t UTF-16 "$here/logon-task.xml" >"$work/logon-task.xml"
cd "$work"
# Every file of bin\ but the program, which the package names itself for its custom actions.
(cd program/bin && find . -type f ! -path ./QuillRelay.exe | sort) |
    wixl-heat --directory-ref BinFolder --component-group ProgramFiles --var var.Bin -p ./ --win64 \
        >files.wxs
wixl -a x64 -o "$out" -D Version="$version" -D Staging=program -D Bin=program/bin -D Win64=yes \
    -D PresetCheckDll=presetcheck.dll -D LogonTaskXml=logon-task.xml -D Icon=quillrelay.ico \
    "$here/QuillRelay.wxs" files.wxs

# What wixl cannot express. Each preset value is written only when its property is given
# (a component condition) and stays when the product goes (permanent: 16, besides 64-bit 256
# and a registry key path 4). A package of the same three-field version upgrades too
# (VersionMax inclusive: 512, besides migrating features, 1; the attributes are a key of the
# row, which is therefore written anew), so that a build whose fourth field alone differs
# still replaces the one installed. The Start-menu entry runs schtasks minimised (7), as it
# is a console program.
queries=()
for preset in Type:CONNECTBY IpAddress:PROJECTORIP HostName:HOSTNAME Port:PORT PenMode:PENMODE Adapter:ADAPTER Screen:SCREEN; do
    queries+=(-q "UPDATE \`Component\` SET \`Condition\` = '${preset#*:}', \`Attributes\` = 276 WHERE \`Component\` = 'Preset${preset%:*}'")
done
upgrade_code=$(msiinfo export "$out" Property | tr -d '\r' | awk -F'\t' '$1 == "UpgradeCode" { print $2 }')
queries+=(-q "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'")
queries+=(-q "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('$upgrade_code', '$version', 513, 'WIX_UPGRADE_DETECTED')")
queries+=(-q "UPDATE \`Shortcut\` SET \`ShowCmd\` = 7 WHERE \`Shortcut\` = 'StartMenuEntry'")
msibuild "$out" "${queries[@]}"
