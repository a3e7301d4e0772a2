#!/bin/bash
# The viewer on decompression bombs, as a user meets them: each bomb in a
# folder with one good picture, the viewer started on the bomb. Prints per
# bomb the time until its load ended (the picture or the message is shown,
# from the loader's log), the time from Escape to the end of the process,
# and the process's peak RSS.
# Usage (under an X display, e.g. xvfb-run): bench/bombs.sh BUILD [KIND...]
# KIND: exr bmp png jpeg tga (default: all). WAIT_S: how long to wait for a
# load (default 60).
set -u
build=${1:?build folder}
shift
kinds=("$@")
[ ${#kinds[@]} -eq 0 ] && kinds=(exr bmp png jpeg tga)
exe=$build/app/pictavo
makebomb=$build/tests/makebomb
wait_s=${WAIT_S:-60}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_DATA_HOME=$tmp/home/.local/share LIBGL_ALWAYS_SOFTWARE=1
mkdir -p "$XDG_CONFIG_HOME"
export OX_MESSAGE_LOG=$tmp/messages.log
log="$HOME/Pictavo_BGTexLoader.log" # the documents folder is HOME without user-dirs
now() { date +%s.%N; }

printf '%-5s %10s %14s %14s %12s  %s\n' kind file "load ended s" "Escape->exit s" "peak RSS MB" "load log"
for kind in "${kinds[@]}"; do
    dir=$tmp/$kind
    mkdir -p "$dir"
    convert -size 640x480 xc:'#3060c0' "$dir/a.jpg"
    bomb=$dir/b.$kind
    "$makebomb" "$kind" "$bomb" || exit 1
    rm -f "$log"
    start=$(now)
    /usr/bin/time -v -o "$tmp/time.txt" "$exe" -window -log "$bomb" >"$tmp/out" 2>&1 &
    pid=$!
    loaded=
    for _ in $(seq $((wait_s * 20))); do
        if grep -q "Load $bomb .*ms" "$log" 2>/dev/null; then
            loaded=$(now)
            break
        fi
        sleep 0.05
    done
    viewer=$(pgrep -P "$pid" | head -1) # /usr/bin/time's child
    window=$(xdotool search --pid "$viewer" --name Pictavo 2>/dev/null | head -1)
    [ -n "$window" ] && xdotool mousemove --window "$window" 40 40
    escape=$(now)
    if [ -n "$window" ]; then xdotool key --window "$window" Escape; else kill "$viewer"; fi
    while kill -0 "$pid" 2>/dev/null; do sleep 0.01; done
    ended=$(now)
    wait "$pid"
    rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$tmp/time.txt")
    line=$(grep -m1 "Load $bomb" "$log" 2>/dev/null | tr -d '\n')
    printf '%-5s %10s %14s %14.2f %12d  %s\n' "$kind" "$(stat -c %s "$bomb")" \
        "$([ -n "$loaded" ] && echo "$loaded - $start" | bc -l | xargs printf '%.2f' || echo ">$wait_s")" \
        "$(echo "$ended - $escape" | bc -l)" $((rss / 1024)) "${line##*$kind }"
done
