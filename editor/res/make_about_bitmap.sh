#!/bin/sh
# Draws bitmap 137, the About dialog's picture: 326 x 150 pixels, 24 bits per pixel, with
# ImageMagick. The product at work: a file's context menu with the "Qarvo Context Menu"
# submenu open on three entries, under the product's name. Run by the build.
# Usage: make_about_bitmap.sh OUTPUT.bmp
set -eu
out=$1
shadow='rgba(0,0,0,0.3)'
border='#8a8a8a'
ink='#222222'

# The name on a blue ground.
set -- -size 150x326 gradient:'#102c66'-'#3a78cf' -rotate -90 \
    -font DejaVu-Sans-Bold -pointsize 19 -fill white -annotate +12+26 'Qarvo Context Menu' \
    -font DejaVu-Sans -pointsize 10 -fill '#cfe0ff' \
    -annotate +13+42 'Your own submenu, one right-click away'
# The file that was right-clicked.
set -- "$@" -fill '#f4f4f4' -stroke '#5a6a80' -draw 'polygon 14,58 34,58 42,66 42,100 14,100' \
    -fill '#d8dde6' -draw 'polygon 34,58 34,66 42,66' -stroke none -fill '#9aa6b8' \
    -draw 'rectangle 18,72 37,73 rectangle 18,78 37,79 rectangle 18,84 37,85 rectangle 18,90 31,91'
# Its context menu, our submenu highlighted.
set -- "$@" -fill "$shadow" -draw 'rectangle 55,57 201,131' \
    -fill white -stroke "$border" -draw 'rectangle 52,54 198,128' -stroke none \
    -pointsize 11 -fill "$ink" -annotate +62+69 'Open' -annotate +62+85 'Edit' \
    -fill '#d0d0d0' -draw 'rectangle 56,95 194,95' \
    -fill '#2a64c8' -draw 'rectangle 54,100 196,115' \
    -fill white -annotate +62+111 'Qarvo Context Menu' -draw 'polygon 187,104 191,107.5 187,111' \
    -fill "$ink" -annotate +62+126 'Properties'
# The submenu: the user's entries, one under the pointer.
set -- "$@" -fill "$shadow" -draw 'rectangle 199,101 309,150' \
    -fill white -stroke "$border" -draw 'rectangle 196,98 306,147' -stroke none \
    -fill '#cfe2ff' -draw 'rectangle 198,116 304,131' \
    -fill '#e8b830' -draw 'rectangle 202,103 211,112' \
    -fill '#3aa655' -draw 'rectangle 202,119 211,128' \
    -fill '#c0504d' -draw 'rectangle 202,135 211,144' \
    -fill "$ink" -annotate +216+112 'notes.txt' -annotate +216+128 'Calculator' \
    -annotate +216+144 'build.cmd' \
    -fill white -stroke black -strokewidth 1 \
    -draw 'polygon 284,122 284,138 288,134 291,141 293,140 290,133 295,133'

convert "$@" -type TrueColor -alpha off BMP3:"$out"
