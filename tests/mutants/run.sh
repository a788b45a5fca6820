#!/usr/bin/env bash
# Runs the test suite against deliberately broken variants of the product code, to show
# which faults it catches. Each tests/mutants/*.patch breaks one thing a user would notice.
#
#   tests/mutants/run.sh [--work DIR] [PATCH...]
#
# The variants are built in a scratch worktree of HEAD (DIR, default build-mutants/ in the
# checkout), never in the caller's files; the build there is kept between runs. The suite
# is first run unbroken and must pass. Then, for each variant: apply, build, run ctest until
# the first failure, revert. A variant is "caught" when the build or a test fails, and
# "SURVIVED" when the whole suite passes. One line per variant; exit 1 if any survived or
# no longer applies.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$root/build-mutants
if [ "${1:-}" = --work ]; then work=$2; shift 2; fi
patches=("$@")
[ ${#patches[@]} -gt 0 ] || patches=("$root"/tests/mutants/*.patch)
jobs=${QR_JOBS:-$(nproc)}

src=$work/src
build=$work/build
if [ ! -d "$src/.git" ] && [ ! -f "$src/.git" ]; then
    git -C "$root" worktree add --detach "$src" HEAD >/dev/null
else
    git -C "$src" checkout -q --detach "$(git -C "$root" rev-parse HEAD)"
fi
git -C "$src" checkout -q -- . && git -C "$src" clean -qfd

suite() { # runs the suite; prints the first failing test's name, or nothing
    cmake --build "$build" -j "$jobs" >"$work/build.log" 2>&1 || { echo "(build)"; return; }
    (cd "$build" && ctest -j "$jobs" --timeout 600 --stop-on-failure >"$work/ctest.log" 2>&1) && return
    local failed
    failed=$(cut -d: -f2 "$build/Testing/Temporary/LastTestsFailed.log" 2>/dev/null || true)
    echo "${failed%%$'\n'*}" | grep . || echo "(ctest)"
}

# The scratch tree has no ../shared beside it: point at the caller's.
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DUINPUT_VM_RUN="$(cd "$root/.." && pwd)/shared/uinput-vm/run" >/dev/null
failed=$(suite)
[ -z "$failed" ] || { echo "the unbroken suite fails ($failed): see $work/ctest.log"; exit 2; }

survived=0
for patch in "${patches[@]}"; do
    name=$(basename "$patch" .patch)
    if ! git -C "$src" apply "$patch" 2>/dev/null; then
        printf '%-28s DOES NOT APPLY: the code it breaks has changed\n' "$name"
        survived=$((survived + 1))
        continue
    fi
    start=$(date +%s)
    caught=$(suite)
    git -C "$src" checkout -q -- .
    if [ -n "$caught" ]; then
        printf '%-28s caught by %s (%ss)\n' "$name" "$caught" $(( $(date +%s) - start ))
    else
        printf '%-28s SURVIVED (%ss)\n' "$name" $(( $(date +%s) - start ))
        survived=$((survived + 1))
    fi
done
cmake --build "$build" -j "$jobs" >/dev/null 2>&1 || true
[ "$survived" -eq 0 ]
