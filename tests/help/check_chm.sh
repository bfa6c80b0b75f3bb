#!/bin/sh
# The compiled help is whole: every page that its contents, its index, its window and its pages
# name (and every #anchor they point at) is inside the file.
# Usage: check_chm.sh CHMLS MENU.CHM
set -u
chmls=$1
chm=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$chmls" -n list "$chm" 2>/dev/null | grep '^/' >"$out/.listing" || {
    echo "cannot list $chm"
    exit 1
}
"$chmls" extractall "$chm" "$out/pages" >/dev/null 2>&1

failed=0
# check SOURCE TARGET: TARGET (page, page#anchor or #anchor) as SOURCE names it.
check() {
    named=${2%%#*}
    [ -n "$named" ] || named=$1
    if ! grep -qxF "/$named" "$out/.listing"; then
        echo "$1 names $named, which is not in $chm"
        failed=1
    elif [ "$2" != "${2#*#}" ] && ! grep -q "id=\"${2#*#}\"" "$out/pages/$named"; then
        echo "$1 names $2: no such anchor"
        failed=1
    fi
}

lists=$(cd "$out/pages" && ls ./*.hhc ./*.hhk 2>/dev/null | sed 's|^\./||')
case $lists in
*.hhc*.hhk*) ;;
*) echo "$chm lacks its contents or its index"; exit 1 ;;
esac
for list in $lists; do
    for target in $(grep -o 'name="Local" value="[^"]*"' "$out/pages/$list" | sed 's/.*value="//; s/"$//'); do
        check "$list" "$target"
    done
done

for target in $("$chmls" printwindows "$chm" 2>/dev/null |
    sed -n 's/.*\(Default File\|Home button is pressed\) *: \([^ ]*\).*/\2/p'); do
    check "the window" "$target"
done

for page in $(cd "$out/pages" && ls ./*.html | sed 's|^\./||'); do
    for target in $(grep -o -E '(href|src)="[^"]*"' "$out/pages/$page" | sed 's/^[a-z]*="//; s/"$//' |
        grep -v -E '^[a-z]+:'); do
        check "$page" "$target"
    done
done
exit $failed
