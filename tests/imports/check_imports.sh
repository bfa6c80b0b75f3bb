#!/bin/sh
# Every deliverable may import only DLLs that ship with Windows (and our own Skin.dll).
# Usage: check_imports.sh OBJDUMP FILE...
objdump="$1"
shift
allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll shlwapi.dll ole32.dll \
oleaut32.dll comctl32.dll comdlg32.dll uxtheme.dll msvcrt.dll skin.dll "
if [ "$#" -eq 0 ]; then
    echo "FAIL no deliverables given"
    exit 1
fi
bad=0
for f in "$@"; do
    if [ ! -f "$f" ]; then
        echo "FAIL missing $f"
        bad=1
        continue
    fi
    dlls=$("$objdump" -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
    if [ -z "$dlls" ]; then
        echo "FAIL $(basename "$f") has no import table"
        bad=1
    fi
    for dll in $dlls; do
        case "$allowed" in
            *" $dll "*) echo "ok   $(basename "$f") -> $dll" ;;
            *) echo "FAIL $(basename "$f") imports $dll"; bad=1 ;;
        esac
    done
    # Skin.dll has no export names: each entry is imported by ordinal (the flag in the top bit).
    skin=$("$objdump" -p "$f" | awk '/DLL Name:/ { on = tolower($3) == "skin.dll"; next }
        on && /^[[:space:]]*$/ { on = 0 } on && !/vma:/ { print $1 }')
    for entry in $skin; do
        case "$entry" in
            8000000000000*) echo "ok   $(basename "$f") -> skin.dll ordinal $((0x${entry#8000000000000}))" ;;
            *) echo "FAIL $(basename "$f") imports skin.dll by name"; bad=1 ;;
        esac
    done
done
exit $bad
