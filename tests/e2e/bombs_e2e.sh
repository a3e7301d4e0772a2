#!/bin/bash
# A decompression bomb among the pictures: the shown picture stays, Escape stays quick, memory bounded.
source "$(dirname "$0")/lib.sh"

# peak_below MB: the program's peak resident memory so far is below MB.
peak_below() {
    local kb
    kb=$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$pid/status")
    echo "peak RSS: $((kb / 1024)) MB"
    [ "$((kb / 1024))" -lt "$1" ]
}

pics=$tmp/pictures
picture "$pics/a.jpg" '#c00000' '#0000c0' 800 600
"$build/tests/makebomb" tga "$pics/b.tga" 20000 || exit 1

start "$pics/a.jpg" || exit 1
check "first picture" shows '#c00000' '#0000c0'
key space
check "the shown picture stays while the bomb is prepared" shows '#c00000' '#0000c0'
check "Escape within 1 s while the bomb is prepared" escape_within 1000

# loaded NAME: the loader's log has the end of the load of NAME (20 s at most).
loaded() {
    for _ in $(seq 200); do
        grep -q "Load $1 .*ms" "$HOME/Pictavo_BGTexLoader.log" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

start -log "$pics/b.tga" || exit 1
check "the bomb is prepared (reduced)" loaded "$pics/b.tga"
check "peak memory below 1 GB" peak_below 1000
check "Escape within 1 s" escape_within 1000
finish
