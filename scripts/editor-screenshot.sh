#!/usr/bin/env bash
# Runs the editor with a few sample entries on a private display, saves a screenshot of its
# window and closes it again.
# Usage: scripts/editor-screenshot.sh [OUTPUT.png] [APP_FOLDER] [SKIN_NUMBER] [about|main] [DPI]
# Without APP_FOLDER the editor runs from a demo folder with sample entries, in skin
# SKIN_NUMBER (1 to 4; 2, the default look, when not given). With "about" the picture is of
# the About dialog, opened through the main window's system menu. With a DPI (144 for 150%,
# 192 for 200%) the editor runs at that scaling.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/editor.png}
app=${2:-}
skin=${3:-2}
what=${4:-main}
dpi=${5:-}
cd "$root"
source scripts/wine-session.sh
build_and_start_wine "$root"

if [ -z "$app" ]; then
    app="$root/build/demo-editor"
    rm -rf "$app" && mkdir -p "$app"
    cp -r build/bin/Menu.exe build/bin/Torlin.dll build/bin/Skin.dll build/bin/Skin "$app/"
    cat > "$app/Config.xml" <<XML
<Config App="Qarvo Context Menu"><Setting><SkinType>$skin</SkinType><Col0Width>150</Col0Width></Setting><Menu Count="4"><Item MenuTitle="notes.txt" FilePath="C:\Users\Public\Documents\notes.txt"/><Item MenuTitle="Calculator" FilePath="C:\windows\system32\calc.exe"/><Item MenuTitle="build.cmd" FilePath="C:\Projects\Tools\build.cmd"/><Item MenuTitle="Notepad" FilePath="C:\windows\notepad.exe"/></Menu></Config>
XML
fi

# At a DPI of its own: the tests' runner sets it for the editor's run, and takes it back.
QARVO_TEST_DPI=$dpi "$root/build/wine-run" "$app/Menu.exe" &
editor=$!
# The window of that title, once the editor has filled it.
wait_for_window() {
    local info
    for _ in $(seq 1 200); do
        info=$(xwininfo -name "$1" 2>/dev/null) || true
        if grep -q "IsViewable" <<<"$info"; then
            sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p' <<<"$info"
            return
        fi
        sleep 0.1
    done
    echo "the window \"$1\" did not appear" >&2
    exit 1
}
window=$(wait_for_window "Qarvo Context Menu")
if [ "$what" = about ]; then
    # The About item of the system menu, chosen from outside.
    chooser="$root/build/choose-about.exe"
    x86_64-w64-mingw32-gcc-posix -x c -o "$chooser" - <<'C'
#include <windows.h>
int main(void) {
    HWND main = FindWindowA("Qarvo.MainDlg", "Qarvo Context Menu");
    return main == NULL || !PostMessageA(main, WM_SYSCOMMAND, 16, 0);
}
C
    "$WINE_BIN" "$chooser"
    window=$(wait_for_window "About Qarvo Context Menu")
fi
# Taken when two looks agree.
shot=$(mktemp --suffix=.png)
import -window "$window" "$out"
for _ in $(seq 1 50); do
    sleep 0.2
    import -window "$window" "$shot"
    [ "$(compare -metric AE "$shot" "$out" null: 2>&1 || true)" = "0" ] && break
    cp "$shot" "$out"
done
rm -f "$shot"
"$WINE_BIN" taskkill /im Menu.exe >/dev/null 2>&1 || true
wait "$editor" || true
echo "Screenshot of the editor ($what${dpi:+, $dpi DPI}): $out"
