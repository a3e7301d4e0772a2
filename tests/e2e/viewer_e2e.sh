#!/bin/bash
# The viewer driven like a user: stepping through every format, the wheel (zoom and scroll keys:
# the transform and GL view tests).
source "$(dirname "$0")/lib.sh"

pics=$tmp/pictures
picture "$pics/1.jpg" '#c00000' '#0000c0' 400 600 # taller than wide: margins on any wider screen
picture "$pics/2.jpg" '#00b000' '#e0e000' 800 600
picture "$pics/3.png" '#c000c0' '#00c0c0' 800 600
picture "$pics/4.tga" '#ffffff' '#606060' 800 600

start "$pics" || exit 1
check "first picture" shows '#c00000' '#0000c0'
key space
check "Space: next" shows '#00b000' '#e0e000'
key space
check "Space: PNG" shows '#c000c0' '#00c0c0'
key BackSpace
check "Backspace: previous" shows '#00b000' '#e0e000'
key End
check "End: last (TGA)" shows '#ffffff' '#606060'
key Home
check "Home: first" shows '#c00000' '#0000c0'

# Fitted, the first picture leaves black margins; the wheel (X's buttons 4 and 5) zooms in over them.
geometry
mid=$((wh / 2)) pw=$((wh * 2 / 3))
m=$(((ww - pw) / 2)) d=$((pw / 50))
check "fitted: margin at the left" pixel_is $((m - d)) "$mid" '#000000'
xdotool mousemove --window "$window" "$((ww / 2))" "$mid" click 4 click 4 click 4
check "wheel up: zoomed in" pixel_is $((m - d)) "$mid" '#c00000'

stop_with Escape
finish
