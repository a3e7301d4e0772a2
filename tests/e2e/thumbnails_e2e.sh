#!/bin/bash
# The thumbnail sheet driven like a user; rotations from its menu must equal jpegtran's. (Scrolling, clicks,
# upright thumbnails, the empty folder's search: the sheet's unit and GL tests.)
source "$(dirname "$0")/lib.sh"
for tool in jpegtran rdjpgcom; do
    command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

sheet_geometry
W=$sw
# cell_is INDEX FX FY COLOUR
cell_is() {
    local x y
    read -r x y < <(at "$1" "$2" "$3")
    pixel_is "$x" "$y" "$4"
}

# JPEG sides are multiples of 16 for jpegtran -perfect.
pics=$tmp/pictures
picture "$pics/01.jpg" '#c00000' '#0000c0' 640 480
picture "$pics/02.jpg" '#00b000' '#e0e000' 480 640
picture "$pics/03.png" '#c000c0' '#00c0c0' 800 200
"$convert" -size 150x300 xc:'#ff8000' -size 150x300 xc:'#0080ff' +append "$pics/04.gif"
picture "$pics/05.tga" '#ffffff' '#606060' 300 300
head -c 4000 /dev/urandom >"$pics/06.jpg" # cannot be decoded
for n in 01 02; do cp "$pics/$n.jpg" "$tmp/orig$n.jpg"; done

OX_MESSAGE_ANSWERS="=Holiday at the sea" start "$pics" || exit 1
check "single picture first" shows '#c00000' '#0000c0'
key t
check "T: sheet, wide JPEG left" cell_is 0 64 128 '#c00000'
check "tall JPEG upright and narrow" cell_is 1 80 128 '#00b000'

# CTRL-click both JPEGs, rotate them clockwise from the context menu.
click_cell 1 0 0 ctrl
click_cell 1 1 0 ctrl
click_cell 3 1
sleep 0.5
key Down Return
for n in 01 02; do
    jpegtran -perfect -copy all -rotate 90 -outfile "$tmp/want$n.jpg" "$tmp/orig$n.jpg"
    check "rotate: $n equals jpegtran's" eventually cmp -s "$pics/$n.jpg" "$tmp/want$n.jpg"
done
check "rotate: the thumbnail turned (wide JPEG now tall)" cell_is 0 128 16 '#c00000'

# A click beside the pictures clears the selection; one picture's menu changes its comment.
click 1 "$((W / 2))" 5 # the title strip
click_cell 3 0
sleep 0.5
key Down Down Down Down Return
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
