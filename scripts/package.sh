#!/usr/bin/env bash
# Builds the Windows installer and the portable zip into build/dist/ (CMake target "dist").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target dist
for f in build/dist/*; do
    printf '%s  %s bytes\n' "$f" "$(stat -c %s "$f")"
done
