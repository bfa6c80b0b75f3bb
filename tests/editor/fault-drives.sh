#!/bin/sh
# Two small drives for the editor's fault tests, mapped into the build tree's Wine prefix:
#   Q:  a 4 MiB drive that the tests fill up themselves;
#   R:  a read-only drive holding the editor and a list of two entries in R:\app.
# Each holds a copy of the editor (about 1.7 MB, most of it the About picture).
# Usage: fault-drives.sh setup|cleanup BUILD_DIR [MENU_EXE]
# Mounting needs root (or sudo without a password); without it the tests say they were skipped.
set -u
action=$1
build=$2
root="$build/fault-drives"
dosdevices="$build/wineprefix/dosdevices"
as_root=""
[ "$(id -u)" -eq 0 ] || as_root="sudo -n"

cleanup() {
    rm -f "$dosdevices/q:" "$dosdevices/r:"
    for d in full readonly; do
        mountpoint -q "$root/$d" 2>/dev/null && $as_root umount "$root/$d"
    done
    return 0
}

case "$action" in
setup)
    cleanup
    mkdir -p "$root/full" "$root/readonly" "$dosdevices"
    if ! $as_root mount -t tmpfs -o size=4m,mode=0777 tmpfs "$root/full" ||
        ! $as_root mount -t tmpfs -o size=4m,mode=0777 tmpfs "$root/readonly"; then
        echo "fault drives unavailable: cannot mount a tmpfs" >&2
        cleanup
        exit 0
    fi
    mkdir "$root/readonly/app"
    cp "$3" "$(dirname "$3")/Skin.dll" "$root/readonly/app/"
    printf '%s' '<Config App="Qarvo Context Menu"><Menu Count="2">' \
        '<Item MenuTitle="a.txt" FilePath="C:\Docs\a.txt"/>' \
        '<Item MenuTitle="b.exe" FilePath="C:\Tools\b.exe"/></Menu></Config>' \
        > "$root/readonly/app/Config.xml"
    $as_root mount -o remount,ro "$root/readonly"
    ln -s "$root/full" "$dosdevices/q:"
    ln -s "$root/readonly" "$dosdevices/r:"
    ;;
cleanup)
    cleanup
    ;;
esac
