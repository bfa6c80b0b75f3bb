#!/usr/bin/env bash
# Builds the deliverables into build/bin and shows them at work: registers Torlin.dll in the
# build tree's Wine prefix and shows its context menu on a private display, saving a
# screenshot (build/context-menu.png).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exec bash "$root/scripts/menu-screenshot.sh" "$@"
