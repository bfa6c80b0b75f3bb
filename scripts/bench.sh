#!/usr/bin/env bash
# Builds and runs the benchmarks under Wine and prints their figures and the deliverables' sizes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/wine-session.sh
# One CPU for the benchmarks and the Wine server and X server they talk to: every round trip
# then costs the same whichever CPU the scheduler would have picked.
build_and_start_wine "$root" 0
echo "(pinned to CPU $(taskset -cp $$ | sed 's/.*: //'))"

echo
echo "== Torlin.dll: one context menu (create, Initialize, QueryContextMenu, release)"
"$WINE_BIN" build/bench-bin/torlin_bench.exe

echo
echo "== Menu.exe: start to painted main window, against the same template with no code behind it"
"$WINE_BIN" build/bench-bin/editor_bench.exe

echo
echo "== Skin.dll: one skin load with the editor's main dialog open (medians of 31)"
"$WINE_BIN" build/bench-bin/skin_bench.exe

echo
echo "== Sizes of the deliverables (stripped, as shipped)"
size_row() { # FILE TARGET_BYTES (0: none)
    stat -c %s "build/bin/$1" | awk -v name="$1" -v target="$2" '{
        printf "%-12s %8d bytes %7.1f KB   ", name, $1, $1 / 1024
        if (target == 0) print "no size target"
        else printf "target at most %d KB: %s\n", target / 1024, $1 <= target ? "met" : "MISSED" }'
}
size_row Torlin.dll 65536
size_row Skin.dll 65536
size_row Menu.exe 0
