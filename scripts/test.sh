#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite twice: a normal
# build (build/) and one with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/),
# runs the fuzz targets briefly, and builds for Windows (build-windows/) to run its tests
# and the installed program under Wine.
# The builds are the presets of CMakePresets.json (normal, asan, fuzz, windows), with warnings
# as errors; `cmake --preset NAME` and `ctest --preset NAME` make and run one by hand.
# Network tests need root (they make their own network namespaces); without it they skip.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"

jobs=${QR_JOBS:-$(nproc)}

run_suite() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" -j "$jobs"
    ctest --preset "$1" -j "$jobs"
}

echo "== Normal build =="
run_suite normal

echo "== AddressSanitizer and UndefinedBehaviorSanitizer build =="
run_suite asan

echo "== Fuzz targets (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer) =="
# Only the library and the fuzz targets are built here; each target takes 30000 inputs from
# its seed corpus. The long run is fuzz/run.sh build-fuzz/fuzz-bin 0 -- -runs=10000000.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
# The sanitizers' options of the asan test preset.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# A fixed seed and number of runs make this stage repeatable: the same tree always takes
# the same inputs, so a red run is a fault of the change, not of the dice.
"$root/fuzz/run.sh" "$root/build-fuzz/fuzz-bin" 0 -- -seed=1 -runs="${QR_FUZZ_RUNS:-30000}"

echo "== Windows build (mingw-w64), its tests and the installed program under Wine =="
# Qt for Windows is unpacked from ../shared/qt6-mingw/ or already in the cache; building it
# from source takes an hour, which this command does not spend.
qt_status=0
qt_log=$("$root/scripts/build-qt-windows.sh" --no-build 2>&1 >/dev/null) || qt_status=$?
if [ "$qt_status" -eq 77 ]; then
    echo "SKIPPED: no Qt for Windows (neither ../shared/qt6-mingw/ nor ~/.cache/quillrelay/); scripts/build-qt-windows.sh builds one (about an hour)"
elif [ "$qt_status" -ne 0 ]; then
    echo "$qt_log" >&2
    exit "$qt_status"
else
    QR_JOBS=$jobs "$root/scripts/build-windows.sh"
    # The program's run under Wine uses the simulator of the normal build above.
    ctest --preset windows -j "$jobs"
fi
