#!/usr/bin/env bash
# Runs every fuzz target longer than the test suite does: scripts/fuzz.sh [seconds each, 300].
# Each replays its seeds, then fuzzes; prints the figures. Exit status non-zero on a finding.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-300}

bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target fuzz_targets >/dev/null

status=0
for seeds in fuzz/corpus/*/; do
    name=$(basename "$seeds")
    sh fuzz/run.sh "build/fuzz/build/${name}_fuzz" "$root/$seeds" "$root/build/fuzz" "$seconds" ||
        status=1
done
exit $status
