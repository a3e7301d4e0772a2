#!/bin/bash
# The thumbnail sheet driven like a user: rotations from its menu must equal jpegtran's; copies and conversions
# through the real dialogs, driven by keys, and a name typed beyond Latin-1 (a Greek layout, keys xdotool maps, a
# dead key). (Scrolling, clicks, upright thumbnails, the empty folder's search: the sheet's unit and GL tests; a
# move and its rescan: the dialog and loader tests.)
source "$(dirname "$0")/lib.sh"
for tool in jpegtran rdjpgcom identify; do
    command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

# The layout is the display's, shared with the other scripts: put it back.
layout=$(setxkbmap -query 2>/dev/null | sed -n 's/^layout: *//p')
restore_layout() { [ -n "$layout" ] && setxkbmap "$layout"; }
trap 'restore_layout; cleanup' EXIT

sheet_geometry
W=$sw
# cell_is INDEX FX FY COLOUR
cell_is() {
    local x y
    read -r x y < <(at "$1" "$2" "$3")
    pixel_is "$x" "$y" "$4"
}
# select INDEX...: exactly these pictures selected (the title strip clears, CTRL-clicks add).
select_cells() {
    click 1 "$((W / 2))" 5
    for i in "$@"; do
        click_cell 1 "$i" 0 ctrl
    done
}
# menu INDEX DOWNS: the context menu of the cell, that entry chosen.
menu() {
    click_cell 3 "$1"
    sleep 0.5
    key $(printf 'Down %.0s' $(seq "$2")) Return
    sleep 1.5 # a dialog builds its folder tree
}
typed() {
    xdotool type --delay 40 "$1"
}
dims() { identify -format '%m %wx%h' "$1" 2>/dev/null; }
dims_are() { [ "$(dims "$1")" = "$2" ]; }
format_is() { [ "$(dims "$1" | cut -d' ' -f1)" = "$2" ]; }

# For the dialogs, and for the sheet (JPEG sides are multiples of 16 for jpegtran -perfect).
p=$tmp/pics
picture "$p/a.jpg" '#c00000' '#0000c0' 640 480
picture "$p/b.jpg" '#00b000' '#e0e000' 400 300
picture "$p/c.jpg" '#c000c0' '#00c0c0' 320 240
mkdir -p "$p/out"
pics=$tmp/pictures
picture "$pics/01.jpg" '#c00000' '#0000c0' 640 480
picture "$pics/02.jpg" '#00b000' '#e0e000' 480 640
picture "$pics/03.png" '#c000c0' '#00c0c0' 800 200
"$convert" -size 150x300 xc:'#ff8000' -size 150x300 xc:'#0080ff' +append "$pics/04.gif"
picture "$pics/05.tga" '#ffffff' '#606060' 300 300
head -c 4000 /dev/urandom >"$pics/06.jpg" # cannot be decoded
for n in 01 02; do cp "$pics/$n.jpg" "$tmp/orig$n.jpg"; done

# The compose table a UTF-8 locale has, whatever the locale here.
XCOMPOSEFILE=/usr/share/X11/locale/en_US.UTF-8/Compose start -thumbnails "$p" || exit 1
sleep 1

# Copy two: in the tree Right opens the folder, Down goes to "out", Enter chooses it.
select_cells 0 1
menu 0 6
key Right Down Return
check "copy two: a equal" eventually cmp -s "$p/a.jpg" "$p/out/a.jpg"

# Save as PNG at 50 %: name, then Tab to "Resize image:", Space, Tab to
# "Keep aspect ratio", Space, Tab to the width, Ctrl+A and 50 %.
select_cells 0
menu 0 7
typed "out/half.png"
# The boxes enable the fields through the command queue: a moment each.
key Tab Tab space
sleep 0.5
key Tab space
sleep 0.5
key Tab ctrl+a
typed "50%"
sleep 0.5
key Return
check "convert: PNG at 50 %" eventually dims_are "$p/out/half.png" "PNG 320x240"

# Batch to TGA: the tree to "out", Tab to the types, Home picks the first (TGA).
select_cells 0 1 2
menu 0 7
key Right Down Tab Home Return
for n in a b c; do
    check "batch TGA: $n" eventually format_is "$p/out/$n.tga" TGA
done
check "batch TGA: b keeps its size" test "$(dims "$p/out/b.tga")" = "TGA 400x300"

# Copy one under a typed name; the name field has the focus, its text selected.
select_cells 0
menu 0 6
greek=
if setxkbmap gr 2>/dev/null; then
    greek=Ω
    sleep 0.3
    key Greek_OMEGA
    restore_layout
    sleep 0.3
fi
LC_ALL=C.UTF-8 xdotool type --delay 60 "Жж"
LC_ALL=C.UTF-8 xdotool type --delay 60 "é"
key dead_acute e
typed ".jpg"
key Return
wanted="${greek}Жжéé.jpg"
check "copied as $wanted" eventually cmp -s "$p/a.jpg" "$p/$wanted" || ls "$p"
[ -n "$greek" ] || echo "note: no Greek layout on this display, only the mapped keys were typed"

# "Save as..." in the single view: its menu's fourth entry.
key t
sleep 1
click 3 "$((W / 2))" 300
sleep 0.5
key Down Down Down Down Return
sleep 1.5
typed "out/single.png"
key Return
check "single view save as" eventually dims_are "$p/out/single.png" "PNG 640x480"
stop_with Escape

OX_MESSAGE_ANSWERS="=Holiday at the sea" start "$pics" || exit 1 # in the single view, as left above
check "single picture first" shows '#c00000' '#0000c0'
key t
check "T: sheet, wide JPEG left" cell_is 0 64 128 '#c00000'
check "tall JPEG upright and narrow" cell_is 1 80 128 '#00b000'

# CTRL-click both JPEGs, rotate them clockwise from the context menu.
select_cells 0 1
menu 1 1
for n in 01 02; do
    jpegtran -perfect -copy all -rotate 90 -outfile "$tmp/want$n.jpg" "$tmp/orig$n.jpg"
    check "rotate: $n equals jpegtran's" eventually cmp -s "$pics/$n.jpg" "$tmp/want$n.jpg"
done
check "rotate: the thumbnail turned (wide JPEG now tall)" cell_is 0 128 16 '#c00000'

# A click beside the pictures clears the selection; one picture's menu changes its comment.
select_cells
menu 0 4
commented() { [ "$(rdjpgcom "$pics/01.jpg")" = "Holiday at the sea" ]; }
check "comment: asked for one picture" logged "New comment for the image:"
check "comment: written" eventually commented
check "comment: the other picture untouched" test -z "$(rdjpgcom "$pics/02.jpg")"
check "no error box at all (the corrupt file's neither)" test "$(grep -c '^message' "$messages")" -eq 0

stop_with Escape
start || exit 1
check "restart: the sheet again (its mode stored)" cell_is 2 64 128 '#c000c0'
stop_with Escape
finish
