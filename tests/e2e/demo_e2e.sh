#!/bin/bash
# The engine demo end to end: the window opens with its title, F1 shows a
# message box that Enter closes, Escape ends the program with exit code 0;
# with a German locale the texts are German.
# Arguments: build folder, source folder, shared folder.
set -u
build=$1
exe=$build/app/pictavo
[ -x "$exe" ] || { echo "missing $exe"; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "needs an X display (run under xvfb-run)"; exit 1; }

tmp=$(mktemp -d)
pid=
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
export HOME=$tmp XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data
unset OX_MESSAGE_LOG OX_MESSAGE_ANSWERS

# Prints the ids of the visible windows named exactly $1.
windows() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null; }

# Waits (up to 10 s) until $1 visible windows are named $2.
wait_count() {
    for _ in $(seq 200); do
        [ "$(windows "$2" | wc -l)" -eq "$1" ] && return 0
        sleep 0.05
    done
    echo "expected $1 window(s) named '$2', found $(windows "$2" | wc -l)"
    return 1
}

run_case() {
    local lang=$1 title=$2
    LANG=$lang LANGUAGE= LC_ALL= LC_MESSAGES= "$exe" -window >"$tmp/out" 2>&1 &
    pid=$!
    wait_count 1 "$title" || return 1
    local main
    main=$(windows "$title" | head -1)
    # Without a window manager the keyboard follows the pointer.
    xdotool mousemove --window "$main" 100 100 key F1
    # The box takes the program's title as its caption.
    wait_count 2 "$title" || return 1
    local box
    box=$(windows "$title" | grep -v "^$main\$" | head -1)
    for _ in $(seq 100); do
        [ "$(xdotool getwindowfocus)" = "$box" ] && break
        sleep 0.05
    done
    xdotool key Return
    wait_count 1 "$title" || return 1
    xdotool mousemove --window "$main" 100 100 key Escape
    for _ in $(seq 200); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    wait "$pid"
    local rc=$?
    pid=
    if [ "$rc" -ne 0 ]; then
        echo "exit code $rc for $lang"
        cat "$tmp/out"
        return 1
    fi
}

run_case C "Pictavo engine demo" || exit 1
run_case de_DE.UTF-8 "Pictavo-Engine-Demo" || exit 1
echo "demo ok"
