#!/usr/bin/env bash
# Builds Quill Relay for 64-bit Windows on Debian 12, with its tests and tools, and its
# installer:
#
#   scripts/build-windows.sh [BUILD_DIR]            (default: build-windows)
#
#   BUILD_DIR/QuillRelay/bin/    the program with everything it needs beside it (Qt DLLs,
#                                platforms\qwindows.dll, the style, the compiler's runtime,
#                                the ja-JP\ and en-US\ catalogues); copy it anywhere and run
#   BUILD_DIR/packages/QuillRelay-<version>-win64.exe    the installer (NSIS)
#   BUILD_DIR/packages/QuillRelay-<version>-win64.msi    the Windows Installer package (wixl)
#
# Qt for Windows comes from scripts/build-qt-windows.sh (unpacked from ../shared/qt6-mingw/,
# or built from Debian's source the first time, which takes about an hour). The tests run
# under Wine with: ctest --test-dir BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-windows}")
jobs=${QR_JOBS:-$(nproc)}

"$root/scripts/install-deps.sh"
qt=$("$root/scripts/build-qt-windows.sh")

# The "windows" preset of CMakePresets.json; its toolchain takes Qt from QR_QT_WINDOWS.
(cd "$root" && QR_QT_WINDOWS=$qt cmake --preset windows -B "$build" >/dev/null)
cmake --build "$build" -j "$jobs"

rm -rf "$build/QuillRelay"
cmake --install "$build" --prefix "$build/QuillRelay" --strip >/dev/null
cpack --config "$build/CPackConfig.cmake" -B "$build/packages" >/dev/null
rm -rf "$build/packages/_CPack_Packages"

version=$(sed -n 's/^project(QuillRelay VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
installer="$build/packages/QuillRelay-$version-win64.exe"
[ -f "$installer" ] || { echo "build-windows: no installer at $installer" >&2; exit 1; }
msi="$build/packages/QuillRelay-$version-win64.msi"
"$root/packaging/windows/build-msi.sh" "$build/QuillRelay" "$version" \
    "$build/bin/QuillRelayPresetCheck.dll" "$msi"
echo "Program folder: $build/QuillRelay/bin"
echo "Installer:      $installer ($(du -k "$installer" | cut -f1) KiB)"
echo "MSI package:    $msi ($(du -k "$msi" | cut -f1) KiB)"
