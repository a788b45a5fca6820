#!/bin/sh
# Compiles the Windows-only injection code that needs no Qt (the records and the user32
# calls) with the mingw-w64 cross compilers, so that a Linux CI catches a broken Windows
# build and any drift of our record layouts from the SDK's (the sources assert them).
# Exit 77 (skipped) when no cross compiler is installed.
set -eu

src=$(cd "$(dirname "$0")/.." && pwd)
out=${TMPDIR:-/tmp}/qr-windows-check.$$
mkdir -p "$out"
trap 'rm -rf "$out"' EXIT

checked=0
for triple in x86_64-w64-mingw32 i686-w64-mingw32; do
    cxx=$(command -v "$triple-g++-win32" || command -v "$triple-g++" || true)
    if [ -z "$cxx" ]; then
        echo "note: $triple-g++ not installed, $triple layouts not checked"
        continue
    fi
    for file in injection/injectionrecords.cpp injection/win32calls_win.cpp; do
        echo "$triple: $file"
        "$cxx" -std=c++17 -Wall -Wextra -Werror -D_WIN32_WINNT=0x0602 -DWIN32_LEAN_AND_MEAN \
            -I"$src" -c "$src/$file" -o "$out/$(basename "$file").$triple.o"
    done
    checked=$((checked + 1))
done

if [ "$checked" -eq 0 ]; then
    echo "SKIP: no mingw-w64 cross compiler (install g++-mingw-w64-x86-64-win32)"
    exit 77
fi
echo "Windows injection code compiles for $checked target(s)"
