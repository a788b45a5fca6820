# Cross-building for 64-bit Windows on Debian with mingw-w64 (the "windows" preset, which
# scripts/build-windows.sh uses):
#
#   QR_QT_WINDOWS=<Qt prefix> cmake --preset windows
#
# QR_QT_WINDOWS (from the environment when set there, else the cache) is a Qt for Windows
# built with these compilers (scripts/build-qt-windows.sh makes one). Qt's moc, uic, rcc and
# lrelease run on the build machine: they come from Debian's own Qt of the same version
# (QT_HOST_PATH).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix-thread variants: the win32-thread ones have no std::thread, which Qt needs.
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Try-compile projects include this file again; they see only the variables listed here.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QR_QT_WINDOWS)
if(NOT "$ENV{QR_QT_WINDOWS}" STREQUAL "")
    # Kept in the cache, so that a later configure without it (ninja's own) still finds Qt.
    set(QR_QT_WINDOWS "$ENV{QR_QT_WINDOWS}" CACHE PATH "Qt for Windows, built with mingw-w64" FORCE)
endif()

# Libraries, headers and packages only from the mingw sysroot and the Windows Qt, never the
# build machine's; programs (the host tools) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
if(QR_QT_WINDOWS)
    list(APPEND CMAKE_FIND_ROOT_PATH "${QR_QT_WINDOWS}")
    list(APPEND CMAKE_PREFIX_PATH "${QR_QT_WINDOWS}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian's Qt tools, of the version the Windows Qt was built with.
set(QT_HOST_PATH /usr CACHE PATH "Qt host tools prefix")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "Qt host tools' CMake packages")
