#!/bin/bash
# On a desktop with a window manager: real boxes and dialogs, title, full screen, missing folders.
source "$(dirname "$0")/lib.sh"
command -v openbox >/dev/null || { echo "skipped: needs openbox"; exit 0; }
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null; cleanup' EXIT
sleep 1

pics=$tmp/pictures
picture "$pics/1.jpg" '#c00000' '#0000c0' 800 600
picture "$pics/2.jpg" '#00b000' '#e0e000' 800 600
picture "$pics/3.jpg" '#ffffff' '#000000' 800 600
screen_size
# The window: 1024 x 768, or 50 pixels less than a smaller screen.
winw=$((sw - 50 < 1024 ? sw - 50 : 1024)) winh=$((sh - 50 < 768 ? sh - 50 : 768))

# name_is TEXT: the window's title becomes TEXT.
title_is() { [ "$(xdotool getwindowname "$window" 2>/dev/null)" = "$1" ]; }
name_is() {
    eventually title_is "$1" && return 0
    echo "title is '$(xdotool getwindowname "$window" 2>/dev/null)', expected '$1'"
    return 1
}

# ---- the command line (its texts, and paths named like options: the unit tests) --
OX_MESSAGE_LOG=$messages timeout 20 "$exe" "$pics" -windoww </dev/null >"$tmp/out" 2>"$tmp/errors"
check "unknown option: exit code 2" test $? -eq 2
check "unknown option: said on stderr" grep -qF "Unknown option '-windoww'." "$tmp/errors"
check "unknown option: nothing stored" test ! -e "$settings"

# ---- title, full screen, the close button -------------------------------------
start "$pics" -window || exit 1
check "title: picture and position" name_is "1.jpg (1/3) - Pictavo"
key space # the next start comes back here
key f
check "f: full screen" size_is "$sw" "$sh"
key f
check "f again: the window" size_is "$winw" "$winh"
# The close button (the window manager's Alt+F4) ends as Escape does.
xdotool windowactivate --sync "$window" key alt+F4
wait_exit
check "close button: exit code 0" test "$rc" -eq 0

# ---- the real box (Escape answering No: the box and file tests) --
OX_MESSAGE_LOG= start "$pics" -window || exit 1
check "boxes: at the second picture, where the close button left it" shows '#00b000' '#e0e000'
key Delete
box_shown() { box=$(xdotool search --onlyvisible --name "^Confirm file delete$" 2>/dev/null | head -1) && [ -n "$box" ]; }
check "Delete asks in a box" eventually box_shown
if [ -n "$box" ]; then
    xdotool key Return
    check "Return answers Yes: the picture goes to the Trash" eventually test ! -f "$pics/2.jpg"
    mv "$XDG_DATA_HOME/Trash/files/2.jpg" "$pics/2.jpg" 2>/dev/null
fi
stop_with Escape

# The toolkit's own Yes/No dialog: a folder whose pictures are in a sub-folder.
mkdir -p "$tmp/outer/inner"
cp "$pics/3.jpg" "$tmp/outer/inner/3.jpg"
# (Escape answering No is the engine's dialog tests'.)
OX_MESSAGE_LOG= start "$tmp/outer" -window || exit 1
sleep 1.5
key Return
check "dialog: Return answers Yes (sub-folders searched)" name_is "3.jpg (1/1) - Pictavo"
stop_with Escape

# ---- missing folders, the last picture by name ------------------------------
start "$pics" -window || exit 1
key End # the last picture (shown: viewer_e2e)
stop_with q
picture "$pics/0.jpg" '#808080' '#808080' 800 600 # sorts in front
start -window || exit 1
check "LastPath: the same picture after a new one sorts in front" name_is "3.jpg (4/4) - Pictavo"
stop_with q

start -window "$tmp/nothere" || exit 1
check "missing folder: said" logged "The folder '$tmp/nothere/' does not exist."
check "missing folder: the last folder instead" name_is "3.jpg (4/4) - Pictavo"
stop_with q

mkdir -p "$HOME/Bilder"
echo "XDG_PICTURES_DIR=\"$HOME/Bilder\"" >"$XDG_CONFIG_HOME/user-dirs.dirs"
cp "$pics/1.jpg" "$HOME/Bilder/b.jpg"
sed -i "s|^LastFolder=.*|LastFolder=$tmp/gone/|" "$settings" # stored above
start -window || exit 1
check "last folder gone: the Pictures folder" name_is "b.jpg (1/1) - Pictavo"
stop_with q

# ---- the folder dialog's path field ------------------------------------------
start -window "$pics" || exit 1
key F2
sleep 1
key ctrl+l
xdotool type --delay 20 "$HOME/Bilder"
key Return
check "path field: the typed folder opens" name_is "b.jpg (1/1) - Pictavo"
stop_with q
finish
