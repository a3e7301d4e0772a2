#!/bin/bash
# Help from a launcher, -nosound, and the installed files (German texts: the catalogue and start-up tests).
source "$(dirname "$0")/lib.sh"
pics=$tmp/pictures
picture "$pics/1.jpg" '#c00000' '#0000c0' 800 600

# Started from a launcher (stdout no terminal): the usage on stdout and in a box.
OX_MESSAGE_LOG=$messages timeout 20 "$exe" "/?" </dev/null >"$tmp/usage" 2>&1
check "/?: exit code 0" test $? -eq 0
check "/?: usage on stdout, once" test "$(grep -cF "pictavo [options] [folder or file]" "$tmp/usage")" -eq 1
check "/?: box (stdout is no terminal)" logged "Pictavo command line help"

screen_size
start -nosound "$pics" || exit 1
check "-nosound: stored before anything else" test "$(setting NoSound)" = 1
check "full-screen by default" size_is "$sw" "$sh"
stop_with Escape

start -window "$pics" || exit 1
stop_with Escape
check "-nosound: still stored after a start without it" test "$(setting NoSound)" = 1

# Install: the program and a desktop entry offering it for the formats it reads.
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
entry=$tmp/prefix/share/applications/pictavo.desktop
check "install: program" test -x "$tmp/prefix/bin/pictavo"
check "install: manual page" test -s "$tmp/prefix/share/man/man1/pictavo.1"
check "install: icon" grep -q "<svg" "$tmp/prefix/share/icons/hicolor/scalable/apps/pictavo.svg"
check "install: desktop entry names the icon" grep -qx "Icon=pictavo" "$entry"
check "install: desktop entry for JPEG, PNG, EXR" grep -qE "^MimeType=(.*;)?image/jpeg;(.*;)?image/png;(.*;)?image/x-exr;" "$entry"
if command -v desktop-file-validate >/dev/null; then
    check "install: desktop entry valid" desktop-file-validate "$entry"
fi
finish
