#!/bin/bash
# The viewer driven like a user: stepping through every format, the wheel (zoom and scroll keys: the
# transform and GL view tests), then the settings dialog by keys only: the new look takes effect at once and
# comes back at the next start.
source "$(dirname "$0")/lib.sh"

pics=$tmp/pictures
picture "$pics/1.jpg" '#c00000' '#0000c0' 400 600 # taller than wide: margins on any wider screen
picture "$pics/2.jpg" '#00b000' '#e0e000' 800 600
picture "$pics/3.png" '#c000c0' '#00c0c0' 800 600
picture "$pics/4.tga" '#ffffff' '#606060' 800 600

# open_settings: the context menu's third entry from the end, then waits for the dialog.
open_settings() {
    local before menu now
    geometry
    before=$(signature)
    click 3 "$((ww / 2))" "$((wh / 2))"
    # A loaded machine draws late: keys go out only once the menu shows.
    for _ in $(seq 100); do
        menu=$(signature)
        differ "$before" "$menu" && break
        sleep 0.1
    done
    sleep 0.3
    key Up Up Up Return
    for _ in $(seq 100); do
        now=$(signature)
        differ "$menu" "$now" && differ "$before" "$now" && sleep 0.5 && return 0
        sleep 0.1
    done
    echo "no dialog"
    return 1
}

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

open_settings
# From the foreground field: Tab to the background colour, replaced; Tab, End: the largest font; Enter: OK.
key Tab Home shift+End
xdotool type --delay 30 '#204080'
key Tab End Return
check "OK: background colour at once" pixel_is 5 "$mid" '#204080'
check "End: the largest font stored" test "$(setting GuiTextHeight)" = 50

stop_with Escape
check "no message boxes" test ! -s "$messages"

# The next start comes up in the stored look.
start || exit 1
check "restart: background colour" pixel_is 5 "$mid" '#204080'
stop_with Escape
finish
