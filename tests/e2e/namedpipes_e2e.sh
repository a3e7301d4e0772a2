#!/bin/bash
# A picture replaced by a named pipe after the folder was listed: the viewer never waits for it (CI also
# runs this under the sanitizers). A pipe there at the listing is no picture: the picture list's test.
source "$(dirname "$0")/lib.sh"

pics=$tmp/pictures
picture "$pics/a.jpg" '#c00000' '#0000c0' 800 600
picture "$pics/b.jpg" '#ffffff' '#606060' 800 600
picture "$pics/c.jpg" '#00b000' '#e0e000' 800 600
start "$pics/a.jpg" || exit 1
check "listed: first picture" shows '#c00000' '#0000c0'
rm "$pics/c.jpg"
mkfifo "$pics/c.jpg"
key space
check "second picture" shows '#ffffff' '#606060'
sleep 1 # the read-ahead of the pipe has failed by now
key space
sleep 1
key BackSpace
check "stepping onto the pipe and back" shows '#ffffff' '#606060'
check "Escape within 1 s after the pipe" escape_within 1000
finish
