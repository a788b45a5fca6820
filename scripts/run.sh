#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target QuillRelay
exec "$root/build/bin/QuillRelay" "$@"
