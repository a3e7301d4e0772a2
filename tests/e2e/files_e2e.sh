#!/bin/bash
# Delete to the Trash up to the end of the list; a corrupt picture between good ones: no box.
source "$(dirname "$0")/lib.sh"
store NoSound 1 # the end of the list is then a message, which the seam logs
trash=$XDG_DATA_HOME/Trash

# ---- Delete: to the Trash, the view moves on, the last one ends the list
del=$tmp/delete
picture "$del/a.jpg" '#c00000' '#0000c0' 800 600
picture "$del/b.jpg" '#00b000' '#e0e000' 800 600
OX_MESSAGE_ANSWERS=yes,yes start "$del" || exit 1
check "delete: first shown" shows '#c00000' '#0000c0'
key Delete
check "delete: next picture shown" shows '#00b000' '#e0e000'
check "delete: file in the Trash" test -f "$trash/files/a.jpg"
check "delete: Trash info" grep -q "^Path=.*a.jpg" "$trash/info/a.jpg.trashinfo"
key Delete
check "delete last: end-of-list signal" logged "No more images available."
check "delete last: nothing shown" shows '#000000' '#000000'
check "delete last: in the Trash" test -f "$trash/files/b.jpg"
stop_with Escape

# ---- A corrupt picture between two good ones
bad=$tmp/corrupt
picture "$bad/1.jpg" '#c00000' '#0000c0' 800 600
head -c 300 "$bad/1.jpg" >"$bad/2.jpg" # headers only: nothing to show (a picture cut later shows its top)
printf 'not a picture at all' >>"$bad/2.jpg"
picture "$bad/3.jpg" '#00b000' '#e0e000' 800 600
start "$bad" || exit 1
check "corrupt: first shown" shows '#c00000' '#0000c0'
key space
check "corrupt: nothing shown for it" shows '#000000' '#000000'
check "corrupt: no box" test "$(grep -cF 2.jpg "$messages")" -eq 0
key space
check "corrupt: stepping goes on" shows '#00b000' '#e0e000'
stop_with Escape
finish
