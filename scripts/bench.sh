#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine and prints their figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null

source scripts/wine-session.sh
trap wine_session_stop EXIT
wine_session_start "$root/build"

echo "== Torlin.dll: one context menu (create, Initialize, QueryContextMenu, help text, release)"
"$WINE_BIN" build/bench-bin/torlin_bench.exe "$(winepath -w build/bin/Torlin.dll 2>/dev/null)"
