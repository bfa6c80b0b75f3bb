#!/usr/bin/env bash
# Registers the built Torlin.dll in the build tree's Wine prefix with a few sample entries,
# pops the context menu of a file up on a private display and saves a screenshot of it.
# Usage: scripts/menu-screenshot.sh [OUTPUT.png]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/context-menu.png}
cd "$root"
source scripts/wine-session.sh
build_and_start_wine "$root"

demo="$root/build/demo"
rm -rf "$demo" && mkdir -p "$demo"
cp build/bin/Torlin.dll "$demo/"
printf 'notes\r\n' > "$demo/notes.txt"
win() { winepath -w "$1" 2>/dev/null; }
"$WINE_BIN" build/tools-bin/make_menu_dat.exe "$(win "$demo/menu.dat")" \
    "notes.txt=$(win "$demo/notes.txt")" "Calculator=C:\\windows\\system32\\calc.exe" \
    "Notepad=C:\\windows\\notepad.exe"
"$WINE_BIN" regsvr32 /s "$(win "$demo/Torlin.dll")"
ready="$demo/shown"
"$WINE_BIN" build/tools-bin/shellhost.exe --show --ready "$(win "$ready")" file \
    "$(win "$demo/notes.txt")" &
host=$!
for _ in $(seq 1 300); do
    [ -e "$ready" ] && break
    sleep 0.05
done
if [ ! -e "$ready" ]; then
    echo "the context menu did not open" >&2
    exit 1
fi
import -window root "$out"
wait "$host" || true
"$WINE_BIN" regsvr32 /u /s "$(win "$demo/Torlin.dll")"
echo "Screenshot: $out"
