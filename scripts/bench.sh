#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine and prints their figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/wine-session.sh
build_and_start_wine "$root"

echo "== Torlin.dll: one context menu (create, Initialize, QueryContextMenu, help text, release)"
"$WINE_BIN" build/bench-bin/torlin_bench.exe "$(winepath -w build/bin/Torlin.dll 2>/dev/null)"

echo
echo "== Skin.dll: size, and one skin load with the editor's main dialog open (medians of 31)"
"$WINE_BIN" build/bench-bin/skin_bench.exe "$(winepath -w build/bin 2>/dev/null)"

echo
echo "== Menu.exe: start to visible main window, close to process exit (medians of 15 runs)"
"$WINE_BIN" build/bench-bin/editor_bench.exe "$(winepath -w build/bin/Menu.exe 2>/dev/null)"
