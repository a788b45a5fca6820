#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, starting from its seed corpus.
#
#   fuzz/run.sh BIN_DIR [SECONDS] [-- extra libFuzzer options]
#
# BIN_DIR holds the fuzz_* executables (build-fuzz/fuzz-bin). Each target runs SECONDS
# (default 10) on a copy of fuzz/corpus/<target>, so the seeds in the tree stay as they are.
# New inputs and any crash go to $QR_FUZZ_WORK (default: a temporary folder that is kept only
# when something failed). The targets reach no network; they run in a private network
# namespace of their own anyway when one can be made.
# The long run: fuzz/run.sh BIN_DIR 0 -- -runs=10000000
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:?usage: fuzz/run.sh BIN_DIR [SECONDS] [-- libFuzzer options]}" && pwd)
seconds=${2:-10}
shift $(( $# >= 2 ? 2 : 1 ))
[ "${1:-}" = "--" ] && shift
extra=("$@")

work=${QR_FUZZ_WORK:-$(mktemp -d "${TMPDIR:-/tmp}/qr-fuzz.XXXXXX")}
mkdir -p "$work"
isolate=()
if "$here/../tests/support/isolated.sh" true 2>/dev/null; then
    isolate=("$here/../tests/support/isolated.sh")
fi

export QT_QPA_PLATFORM=offscreen
failed=0
for target in "$bin"/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    name=${name#fuzz_}
    corpus="$work/$name"
    mkdir -p "$corpus"
    [ -d "$here/corpus/$name" ] && cp -n "$here/corpus/$name"/* "$corpus"/ 2>/dev/null || true
    time_opt=()
    [ "$seconds" -gt 0 ] && time_opt=(-max_total_time="$seconds")
    echo "-- fuzz_$name: ${seconds}s, $(ls "$corpus" | wc -l) inputs to start from"
    if ! (cd "$work" && "${isolate[@]}" "$target" "${time_opt[@]}" -timeout=10 \
              -rss_limit_mb=2048 -max_len=8192 -print_final_stats=1 "${extra[@]}" \
              "$corpus" >"$work/$name.log" 2>&1); then
        echo "fuzz_$name FAILED; its output and the input that broke it are in $work" >&2
        tail -n 60 "$work/$name.log" >&2
        failed=1
        continue
    fi
    # Executions, coverage (cov: edges, ft: features), corpus size and memory.
    grep -E '^#[0-9]+.*DONE' "$work/$name.log" || grep -E '^#[0-9]+' "$work/$name.log" | tail -n 1 || true
done
if [ "$failed" -eq 0 ] && [ -z "${QR_FUZZ_WORK:-}" ]; then
    rm -rf "$work"
fi
exit "$failed"
