#!/bin/bash
# Batch conversion speed: 40 JPEGs of 4000x3000 to PNG at 50 %, once through
# Pictavo's "Batch conversion..." (driven by keys under the current X
# display, timed from OK to the last file written) and once with
# ImageMagick's convert, one file after the other, in the same run.
# Usage: bench/convert_batch.sh BUILD_FOLDER   (needs DISPLAY; 1920x1200 or
# larger, so that all 40 thumbnails are on the sheet at once)
set -eu
build=${1:?build folder}
src=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$tmp"' EXIT
source "$src/tests/support/xdriver.sh"
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_CACHE_HOME=$tmp/home/.cache
export XDG_DATA_HOME=$tmp/home/.local/share OX_MESSAGE_LOG=$tmp/messages.log LANG=C
mkdir -p "$HOME" "$tmp/in/out" "$tmp/magick"
"$convert" -size 4000x3000 plasma:fractal -seed 7 -quality 90 "$tmp/seed.jpg"
for i in $(seq -w 1 40); do cp "$tmp/seed.jpg" "$tmp/in/p$i.jpg"; done
now() { date +%s.%N; }
count() { find "$1" -maxdepth 1 -name '*.png' | wc -l; }

t0=$(now)
for f in "$tmp"/in/*.jpg; do "$convert" "$f" -resize 50% "$tmp/magick/$(basename "${f%.jpg}").png"; done
t1=$(now)
magick=$(echo "$t1 - $t0" | bc)

"$build/app/pictavo" -thumbnails "$tmp/in" >"$tmp/out" 2>&1 &
pid=$!
find_window "Pictavo$" "$pid"
# The thumbnails are made first: wait until the program is idle.
last=0
for _ in $(seq 600); do
    sleep 1
    ticks=$(awk '{ print $14 + $15 }' "/proc/$pid/stat")
    [ $((ticks - last)) -lt 5 ] && [ "$last" -gt 0 ] && break
    last=$ticks
done
screen_size
columns=$(((sw - 400) / 128))
scale=$(awk -v w="$sw" -v c="$columns" 'BEGIN { printf "%.6f", w / (261 * c + 400) }')
cell() { awk -v i="$1" -v c="$columns" -v s="$scale" 'BEGIN { printf "%d %d\n", (261 * (i % c) + 528) * s, (261 * int(i / c) + 178) * s }'; }
read -r x y < <(cell 0)
xdotool mousemove --window "$window" "$x" "$y" keydown ctrl click 1 keyup ctrl
read -r x2 y2 < <(cell 39)
xdotool mousemove --window "$window" "$x2" "$y2" keydown ctrl keydown shift click 1 keyup shift keyup ctrl
click 3 "$x" "$y"
sleep 0.5
key Down Down Down Down Down Down Down Return
sleep 2
# The tree to "out", the types list (TGA, JPEG, PNG: the third), resize 50 %.
key Right Down Tab Home Down Down Tab space
sleep 0.5
key Tab space
sleep 0.5
key Tab ctrl+a
xdotool type --delay 40 "50%"
sleep 0.5
t0=$(now)
key Return
while [ "$(count "$tmp/in/out")" -lt 40 ]; do sleep 0.05; done
t1=$(now)
pictavo=$(echo "$t1 - $t0" | bc)
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
identify -format '%m %wx%h\n' "$tmp/in/out/p01.png" "$tmp/magick/p01.png"
printf 'Pictavo batch conversion: %.1f s\nImageMagick convert:      %.1f s\n' "$pictavo" "$magick"
