#!/usr/bin/env bash
# fuzz/run.sh BIN_DIR [SECONDS] [-- libFuzzer options]: runs every fuzz_* target of BIN_DIR
# (build-fuzz/fuzz-bin) for SECONDS (default 10; 0: until the options end it) from its seeds
# in fuzz/corpus/<target>, which stay as they are: new inputs and crashes go to
# $QR_FUZZ_WORK (default: a temporary folder, kept only when a target failed). The targets
# reach no network but loopback; they run in a private network namespace when one can be made.
# The long run: fuzz/run.sh build-fuzz/fuzz-bin 0 -- -runs=10000000
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:?usage: fuzz/run.sh BIN_DIR [SECONDS] [-- libFuzzer options]}" && pwd) || exit 2
seconds=${2:-10}
shift $(($# >= 2 ? 2 : 1))
[ "${1:-}" = "--" ] && shift
work=${QR_FUZZ_WORK:-$(mktemp -d)}
isolate=("$here/../tools/isolated.sh")
"${isolate[@]}" true 2>/dev/null || isolate=()
failed=0
for target in "$bin"/fuzz_*; do
    name=${target##*/fuzz_}
    mkdir -p "$work/$name"
    # A hang of ten seconds is a fault too; libFuzzer would wait twenty minutes.
    "${isolate[@]}" "$target" -max_total_time="$seconds" -timeout=10 "$@" "$work/$name" \
        "$here/corpus/$name" -artifact_prefix="$work/" >"$work/$name.log" 2>&1 || ((++failed))
    echo "fuzz_$name: $(grep -E '^#[0-9]+' "$work/$name.log" | tail -n 1)"
done
[ "$failed" -eq 0 ] || { tail -n 30 "$work"/*.log; echo "$failed FAILED: see $work"; exit 1; } >&2
[ -n "${QR_FUZZ_WORK:-}" ] || rm -rf "$work"
