#!/bin/bash
# The thumbnail sheet driven like a user; rotations from its menu must equal jpegtran's.
source "$(dirname "$0")/lib.sh"
for tool in jpegtran rdjpgcom; do
    command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

sheet_geometry
W=$sw H=$sh
# cell_is INDEX FX FY COLOUR [SCROLL]
cell_is() {
    local x y
    read -r x y < <(at "$1" "$2" "$3" "${5:-0}")
    pixel_is "$x" "$y" "$4"
}

# JPEG sides are multiples of 16 for jpegtran -perfect; fillers make the sheet taller than the screen.
pics=$tmp/pictures
picture "$pics/01.jpg" '#c00000' '#0000c0' 640 480
picture "$pics/02.jpg" '#00b000' '#e0e000' 480 640
picture "$pics/03.png" '#c000c0' '#00c0c0' 800 200
"$convert" -size 150x300 xc:'#ff8000' -size 150x300 xc:'#0080ff' +append "$pics/04.gif"
picture "$pics/05.tga" '#ffffff' '#606060' 300 300
head -c 4000 /dev/urandom >"$pics/06.jpg" # cannot be decoded
fill=(FF0000:00FFFF 00FF00:FF00FF 0000FF:FFFF00 808080:FFFFFF)
for k in 0 1 2 3; do
    picture "$tmp/fill$k.jpg" "#${fill[k]%:*}" "#${fill[k]#*:}" 320 240
done
rows=$(awk -v h="$H" -v s="$scale" 'BEGIN { r = ((h + 600) / s - 50) / 261; print int(r) + 2 }')
for ((i = 6; i < columns * rows; ++i)); do
    cp "$tmp/fill$((i % 4)).jpg" "$pics/fill-$(printf '%04d' "$i").jpg" # after the others by name
done
for n in 01 02; do cp "$pics/$n.jpg" "$tmp/orig$n.jpg"; done

OX_MESSAGE_ANSWERS="=Holiday at the sea" start "$pics" || exit 1
check "single picture first" shows '#c00000' '#0000c0'
key t
check "T: sheet, wide JPEG left" cell_is 0 64 128 '#c00000'
check "tall JPEG upright and narrow" cell_is 1 80 128 '#00b000'
check "tall JPEG right half" cell_is 1 176 128 '#e0e000'

# Scrolled down, a click opens the picture clicked; T comes back there.
key --repeat 15 Down
scroll=300
index=$(((columns * 3) + 1)) # row 3, column 1: on screen after the scroll
click_cell 1 "$index" "$scroll"
k=$((index % 4))
check "click: that picture alone" shows "#${fill[k]%:*}" "#${fill[k]#*:}"
key t
check "T: the sheet at the same scroll" cell_is "$index" 64 128 "#${fill[k]%:*}" "$scroll"
key --repeat 15 Up

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

start -THUMBNAILS "$pics" || exit 1
check "-thumbnails: the sheet" cell_is 2 192 128 '#00c0c0'
stop_with Escape

# A folder without pictures: a click on its lines searches the sub-folders.
picture "$tmp/empty/inner/x.jpg" '#c000c0' '#00c0c0' 640 480
OX_MESSAGE_ANSWERS=no start -thumbnails "$tmp/empty" || exit 1
check "empty folder: the sub-folder question declined" logged "Search sub-folders"
sleep 0.5
read -r x y < <(at 1 128 40)
click 1 "$x" "$y"
check "click on the lines: the sub-folder's picture" cell_is 0 64 128 '#c000c0'
stop_with Escape

finish
