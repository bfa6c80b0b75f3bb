#!/usr/bin/env bash
# Builds everything and runs every test under Wine. Exit status: ctest's.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh

preset=default
[ -n "${CI:-}" ] && preset=ci
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"

source scripts/wine-session.sh
trap wine_session_stop EXIT
wine_session_start "$root/build"

status=0
rm -f build/fuzz/reports/*.summary
ctest --preset "$preset" -j2 "$@" || status=$?
# The fuzz targets' figures of this run.
cat build/fuzz/reports/*.summary 2>/dev/null || true
exit $status
