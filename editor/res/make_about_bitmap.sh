#!/bin/sh
# Draws bitmap 137, the About dialog's picture, 24 bits per pixel, with ImageMagick. The product
# at work: a file's context menu with the "Qarvo Context Menu" submenu open on three entries,
# under the product's name. Drawn on a 326 x 150 grid, SCALE times as large (3 by default): the
# dialog scales it down to its frame, which at 300% is about three times its size at 100%. Run
# by the build.
# Usage: make_about_bitmap.sh OUTPUT.bmp [SCALE]
set -eu
out=$1
scale=${2:-3}
shadow='rgba(0,0,0,0.3)'
border='#8a8a8a'
ink='#222222'

# One drawing in the grid's units, enlarged as a whole (text included) before it is rasterised.
drawing="affine $scale 0 0 $scale 0 0"
# The name on a blue ground.
drawing="$drawing
font DejaVu-Sans-Bold font-size 19 fill white text 12,26 'Qarvo Context Menu'
font DejaVu-Sans font-size 10 fill '#cfe0ff' text 13,42 'Your own submenu, one right-click away'"
# The file that was right-clicked.
drawing="$drawing
fill '#f4f4f4' stroke '#5a6a80' polygon 14,58 34,58 42,66 42,100 14,100
fill '#d8dde6' polygon 34,58 34,66 42,66
stroke none fill '#9aa6b8'
rectangle 18,72 37,73 rectangle 18,78 37,79 rectangle 18,84 37,85 rectangle 18,90 31,91"
# Its context menu, our submenu highlighted.
drawing="$drawing
fill '$shadow' rectangle 55,57 201,131
fill white stroke '$border' rectangle 52,54 198,128 stroke none
font-size 11 fill '$ink' text 62,69 'Open' text 62,85 'Edit'
fill '#d0d0d0' rectangle 56,95 194,95
fill '#2a64c8' rectangle 54,100 196,115
fill white text 62,111 'Qarvo Context Menu' polygon 187,104 191,107.5 187,111
fill '$ink' text 62,126 'Properties'"
# The submenu: the user's entries, one under the pointer.
drawing="$drawing
fill '$shadow' rectangle 199,101 309,150
fill white stroke '$border' rectangle 196,98 306,147 stroke none
fill '#cfe2ff' rectangle 198,116 304,131
fill '#e8b830' rectangle 202,103 211,112
fill '#3aa655' rectangle 202,119 211,128
fill '#c0504d' rectangle 202,135 211,144
fill '$ink' text 216,112 'notes.txt' text 216,128 'Calculator' text 216,144 'build.cmd'
fill white stroke black stroke-width 1
polygon 284,122 284,138 288,134 291,141 293,140 290,133 295,133"

convert -size $((150 * scale))x$((326 * scale)) gradient:'#102c66'-'#3a78cf' -rotate -90 \
    -draw "$drawing" -type TrueColor -alpha off BMP3:"$out"
