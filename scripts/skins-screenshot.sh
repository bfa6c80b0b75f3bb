#!/usr/bin/env bash
# The editor in each of its four skins, as one picture of four panels.
# Usage: scripts/skins-screenshot.sh [OUTPUT.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/skins.png}
cd "$root"

names=(Pying Wguang Zzhong Mmo)
panels=()
for n in 1 2 3 4; do
    bash scripts/editor-screenshot.sh "$root/build/skin-$n.png" "" "$n" >/dev/null
    panels+=(-label "$n  ${names[n - 1]}" "$root/build/skin-$n.png")
done
montage -font DejaVu-Sans -pointsize 15 "${panels[@]}" -tile 2x2 -geometry +12+12 \
    -background white "$out"
echo "The four skins: $out"
