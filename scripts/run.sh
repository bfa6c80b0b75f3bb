#!/usr/bin/env bash
# Builds the deliverables into build/bin and starts the editor, Menu.exe, under Wine from a run
# folder, build/run, refreshed from build/bin: the editor's Config.xml and menu.dat stay there
# between runs, and build/bin holds only what the build made. With a display (and not in CI)
# the editor opens on it and this waits until it is closed; without one it runs on a private
# Xvfb display, a screenshot of its window is saved (build/editor.png) and it is closed again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
mkdir -p build/run
cp -r build/bin/. build/run/

if [ -z "${DISPLAY:-}" ] || [ -n "${CI:-}" ]; then
    exec bash scripts/editor-screenshot.sh "$root/build/editor.png" "$root/build/run"
fi
source scripts/wine-session.sh
trap wine_session_stop EXIT
QARVO_USE_DISPLAY=1 wine_session_start "$root/build"
"$WINE_BIN" "$root/build/run/Menu.exe"
