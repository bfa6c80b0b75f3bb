#!/usr/bin/env bash
# Runs the editor with a few sample entries on a private display, saves a screenshot of its
# window and closes it again. Usage: scripts/editor-screenshot.sh [OUTPUT.png] [APP_FOLDER]
# Without APP_FOLDER the editor runs from a demo folder with sample entries.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/editor.png}
app=${2:-}
cd "$root"
source scripts/wine-session.sh
build_and_start_wine "$root"

if [ -z "$app" ]; then
    app="$root/build/demo-editor"
    rm -rf "$app" && mkdir -p "$app"
    cp build/bin/Menu.exe build/bin/Torlin.dll "$app/"
    cat > "$app/Config.xml" <<'XML'
<Config App="Qarvo Context Menu"><Setting><SkinType>2</SkinType><Col0Width>150</Col0Width></Setting><Menu Count="4"><Item MenuTitle="notes.txt" FilePath="C:\Users\Public\Documents\notes.txt"/><Item MenuTitle="Calculator" FilePath="C:\windows\system32\calc.exe"/><Item MenuTitle="build.cmd" FilePath="C:\Projects\Tools\build.cmd"/><Item MenuTitle="Notepad" FilePath="C:\windows\notepad.exe"/></Menu></Config>
XML
fi

"$WINE_BIN" "$app/Menu.exe" &
editor=$!
sleep 4
import -window root -crop 640x460+0+0 "$out"
"$WINE_BIN" taskkill /im Menu.exe >/dev/null 2>&1 || true
wait "$editor" || true
echo "Screenshot of the editor: $out"
