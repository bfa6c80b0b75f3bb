#!/usr/bin/env bash
# The installer tests' own Wine prefix, new for every run: what an installer writes into the
# registry and Program Files must not meet what other suites left there. Started like the
# build tree's session (persistent server, services detached) on the run's display, with the
# portable zip unpacked into C:\Program Files\Qarvo Portable.
# Usage: test-prefix.sh setup DIR PORTABLE_ZIP | test-prefix.sh cleanup DIR
set -euo pipefail
trap 'echo "test-prefix.sh: line $LINENO failed (exit $?)" >&2' ERR
action=$1
dir=$2
source "$(dirname "$0")/../../scripts/wine-session.sh"
QARVO_USE_DISPLAY=1

stop() {
    if [ -d "$dir/wineprefix" ]; then
        WINEPREFIX="$dir/wineprefix" wine_session_stop
    fi
    rm -rf "$dir"
}

case "$action" in
setup)
    stop
    mkdir -p "$dir"
    wine_session_start "$dir" >/dev/null
    unzip -q "$3" -d "$WINEPREFIX/drive_c/Program Files/Qarvo Portable"
    ;;
cleanup)
    stop
    ;;
esac
