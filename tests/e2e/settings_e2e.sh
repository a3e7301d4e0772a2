#!/bin/bash
# The settings dialog by keys only: the new look takes effect at once and comes back at the next start.
source "$(dirname "$0")/lib.sh"

pics=$tmp/pictures
picture "$pics/1.jpg" '#c00000' '#0000c0' 400 600 # taller than wide: margins on any wider screen

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
geometry

open_settings
# From the foreground field: Tab to the background colour, replaced; Tab, End: the largest font; Enter: OK.
key Tab Home shift+End
xdotool type --delay 30 '#204080'
key Tab End Return
check "OK: background colour at once" pixel_is 5 "$((wh / 2))" '#204080'
check "End: the largest font stored" test "$(setting GuiTextHeight)" = 50

stop_with Escape
check "no message boxes" test ! -s "$messages"

# The next start comes up in the stored look.
start || exit 1
check "restart: background colour" pixel_is 5 "$((wh / 2))" '#204080'
stop_with Escape
finish
