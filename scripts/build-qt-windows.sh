#!/usr/bin/env bash
# Provides Qt 6.4.2 for 64-bit Windows (Core, Gui, Widgets, Network, Test, the windows
# platform plugin and the windowsvista style), which the Windows build links against, and
# prints its folder. Debian has no such package, so it comes from one of three places:
#
#   1. the folder itself, when an earlier run made it:
#      $QR_QT_WINDOWS, or ~/.cache/quillrelay/qt6.4.2-mingw-x86_64
#   2. the prebuilt archive beside this checkout, ../shared/qt6-mingw/ (made with the
#      same recipe as 3.), unpacked after its SHA-256 is checked
#   3. a cross-build from Debian's own qt6-base source package: about an hour on two
#      cores, several GB of disk, root (it installs packages and adds a deb-src entry)
#
#   build-qt-windows.sh [--no-build]
#
# --no-build stops before 3. and exits 77 when there is no Qt for Windows yet (the test
# command's Windows stage skips then). The Qt folder can live anywhere: its CMake files
# find their own place.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
here="$root/scripts/qt-windows"

qt_version=6.4.2
debian_version=6.4.2+dfsg-10
wine_dev_version=8.0~repack-4
cache=${XDG_CACHE_HOME:-$HOME/.cache}/quillrelay
prefix=${QR_QT_WINDOWS:-$cache/qt$qt_version-mingw-x86_64}
archive=${QR_QT_WINDOWS_ARCHIVE:-$root/../shared/qt6-mingw/qt$qt_version-mingw-x86_64.tar.xz}
archive_sha256=a0c040c4c61dd79de25430e288862f5f9cb74754b3d8c6b8b2733eee01cab547
# Written last, so that a half-unpacked or half-built folder is never taken for a Qt.
stamp="$prefix/.quillrelay-qt-windows"

no_build=0
[ "${1:-}" = "--no-build" ] && no_build=1

say() { echo "build-qt-windows: $*" >&2; }

if [ -f "$stamp" ]; then
    echo "$prefix"
    exit 0
fi

if [ -f "$archive" ]; then
    say "checking $archive"
    echo "$archive_sha256  $archive" | sha256sum --quiet -c - >&2 \
        || { say "SHA-256 of $archive is not $archive_sha256"; exit 1; }
    partial="$prefix.partial"
    rm -rf "$partial" && mkdir -p "$partial"
    # The archive holds one folder, qt6-mingw/.
    tar -xJf "$archive" -C "$partial" --strip-components=1
    echo "unpacked from $archive" >"$partial/.quillrelay-qt-windows"
    rm -rf "$prefix" && mv "$partial" "$prefix"
    say "Qt $qt_version for Windows unpacked into $prefix"
    echo "$prefix"
    exit 0
fi

if [ "$no_build" -eq 1 ]; then
    say "no Qt for Windows in $prefix and no $archive"
    exit 77
fi

# 3. The cross-build.
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if ! apt-get source --print-uris qt6-base="$debian_version" >/dev/null 2>&1; then
    say "adding a deb-src entry for bookworm main (apt-get source needs one)"
    "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/quillrelay-deb-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    "${sudo_cmd[@]}" apt-get update -qq
fi
# The posix-thread compilers: the win32-thread ones have no std::thread, which Qt needs.
# Debian's own Qt 6.4.2 provides the host tools (moc, rcc, uic) of the same version.
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    dpkg-dev xz-utils cmake ninja-build g++-mingw-w64-x86-64-posix \
    qt6-base-dev qt6-base-dev-tools >/dev/null

work=${QR_QT_WINDOWS_WORK:-$cache/qt$qt_version-mingw-build}
src="$work/qtbase-everywhere-src-$qt_version"
mkdir -p "$work"
if [ ! -d "$src" ]; then
    say "fetching Debian's qt6-base $debian_version source into $work"
    (cd "$work" && apt-get source --download-only qt6-base="$debian_version" >/dev/null \
        && tar -xJf "qt6-base_${debian_version%-*}.orig.tar.xz")
fi

# Debian's source comes without the tablet (wintab) headers that the windows platform plugin
# includes: Wine's LGPL wintab.h from libwine-dev, behind our wrapper and packet record.
wintab="$src/src/3rdparty/wintab"
if [ ! -f "$wintab/wine-wintab.h" ]; then
    mkdir -p "$wintab" "$work/libwine-dev"
    (cd "$work/libwine-dev" && apt-get download libwine-dev="$wine_dev_version" >/dev/null \
        && dpkg-deb -x libwine-dev_*.deb .)
    cp "$work/libwine-dev/usr/include/wine/wine/windows/wintab.h" "$wintab/wine-wintab.h"
    cp "$here/wintab.h" "$here/pktdef.h" "$wintab/"
fi
# With "dynamicgl" on, Qt 6.4.2's windows plugin asks the OpenGL context whether it renders in
# software even when Qt is built without OpenGL, which does not compile. Later Qt releases
# guard that question with the opengl feature too; so does this copy.
sed -i '/^static inline bool isSoftwareGl()$/,/^}$/ s/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
    "$src/src/plugins/platforms/windows/qwindowswindow.cpp"

# Shared, Release, only what the program, its tests and its tools use.
say "building Qt $qt_version for Windows in $work/build (about an hour on two cores)"
mkdir -p "$work/build"
cmake -S "$src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-windows-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
    -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF -DFEATURE_opengl=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_testlib=ON \
    -DQT_FEATURE_system_zlib=OFF >&2
cmake --build "$work/build" -j "${QR_JOBS:-$(nproc)}" >&2
cmake --install "$work/build" >&2
# Qt's own qt.toolchain.cmake (used by qt-cmake) chains to the toolchain it was built with:
# a copy inside the folder keeps the folder independent of this checkout.
cp "$root/cmake/toolchain-windows-x86_64.cmake" "$prefix/lib/cmake/Qt6/"
sed -i 's|^set(__qt_initially_configured_toolchain_file .*|set(__qt_initially_configured_toolchain_file "${CMAKE_CURRENT_LIST_DIR}/toolchain-windows-x86_64.cmake")|' \
    "$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
echo "built from Debian's qt6-base $debian_version" >"$stamp"
say "Qt $qt_version for Windows installed in $prefix"
echo "$prefix"
