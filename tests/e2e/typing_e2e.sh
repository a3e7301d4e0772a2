#!/bin/bash
# Beyond Latin-1 (a Greek layout, keys xdotool maps, a dead key) into the copy dialog: the name as typed.
source "$(dirname "$0")/lib.sh"

# The layout is the display's, shared with the other scripts: put it back.
layout=$(setxkbmap -query 2>/dev/null | sed -n 's/^layout: *//p')
restore_layout() { [ -n "$layout" ] && setxkbmap "$layout"; }
trap 'restore_layout; cleanup' EXIT

sheet_geometry

p=$tmp/pics
picture "$p/a.jpg" '#c00000' '#0000c0' 320 240
# The compose table a UTF-8 locale has, whatever the locale here.
XCOMPOSEFILE=/usr/share/X11/locale/en_US.UTF-8/Compose start -thumbnails "$p" || exit 1
sleep 1

# "Copy to...", the menu's sixth entry; the name field has the focus, its text selected.
click 1 "$((sw / 2))" 5
click_cell 1 0 0 ctrl
click_cell 3 0
sleep 0.5
key Down Down Down Down Down Down Return
sleep 1.5

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
xdotool type --delay 60 ".jpg"
key Return

wanted="${greek}Жжéé.jpg"
copied() { cmp -s "$p/a.jpg" "$p/$wanted"; }
for _ in $(seq 100); do
    copied && break
    sleep 0.1
done
check "copied as $wanted" copied || ls "$p"
[ -n "$greek" ] || echo "note: no Greek layout on this display, only the mapped keys were typed"
stop_with Escape
finish
