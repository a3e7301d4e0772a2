#!/bin/bash
# The sheet of a large folder: makes a folder of COUNT (default 20000) small
# JPEGs (copies of a few pictures under many names), then measures, cold
# (empty thumbnail cache) and warm:
#   first_screen  start -> every cell of the first screen shows its thumbnail
#                 (from the start-up trace: drawn with GL or without); the
#                 loader's textures of that screen in brackets
#   end_screen    the End key -> every cell of the last screen has its thumbnail
#   peak RSS      the process's peak against the same program on a folder of
#                 one picture, and what ThnMaxCount thumbnails may take
# The times come from the loader's log (-log), each line stamped as it
# arrives; the screenshots of both screens are kept to look at. Figures, not
# pass/fail. Needs an X display (e.g. xvfb-run -s "-screen 0 1920x1200x24").
#
# usage: bench/thumbnail_folder.sh [BUILD_DIR] [COUNT]
set -uo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$src/build}" && pwd)
count=${2:-20000}
exe=$build/app/pictavo
out=$(mktemp -d)
echo "folder, logs and screenshots: $out"
export HOME=$out/home XDG_CONFIG_HOME=$out/home/.config XDG_CACHE_HOME=$out/home/.cache LIBGL_ALWAYS_SOFTWARE=1
export OX_MESSAGE_LOG=$out/messages.log
mkdir -p "$XDG_CONFIG_HOME"
log=$HOME/Pictavo_BGTexLoader.log # the documents folder is HOME without user-dirs

# A few distinct pictures, then copies of them under numbered names.
dir=$out/folder
mkdir -p "$dir" "$out/one"
started=$(date +%s%N)
for i in 0 1 2 3 4 5 6 7; do
    convert -size 320x240 "plasma:hsl($((i * 45)),80%,50%)-hsl($((i * 45 + 90)),80%,30%)" -quality 85 "$out/base$i.jpg"
done
cp "$out/base0.jpg" "$out/one/a.jpg"
python3 - "$out" "$dir" "$count" <<'EOF'
import shutil, sys
out, folder, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
bases = [open(f"{out}/base{i}.jpg", "rb").read() for i in range(8)]
for n in range(count):
    with open(f"{folder}/p{n:05d}.jpg", "wb") as f:
        f.write(bases[n % 8])
EOF
echo "made $count pictures in $((($(date +%s%N) - started) / 1000000)) ms"

read -r W H < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
# The sheet's defaults (list margin 400, title 50, items 256, borders 5)
# fitted to the screen's width: the cells of one screen.
columns=$(((W - 400) / 128))
[ "$columns" -lt 3 ] && columns=3
rows=$(awk -v w="$W" -v h="$H" -v c="$columns" 'BEGIN { s = w / (261 * c + 400); r = (h - 50 * s) / (261 * s); print int(r) }')
screen=$((columns * rows)) # whole rows only
max_count=500 # ThnMaxCount's default, which a fresh HOME has
names=("$dir"/*.jpg)

# stamp_log: the log's lines, each with the time it arrived (ns).
stamp_log() {
    exec python3 -u -c '
import os, sys, time
path = sys.argv[1]
while not os.path.exists(path):
    time.sleep(0.005)
f, line = open(path), ""
while True:
    part = f.readline()
    if not part:
        time.sleep(0.005)
        continue
    line += part
    if line.endswith("\n"):
        print(time.time_ns(), line, end="", flush=True)
        line = ""
' "$log"
}
# arrived FIRST LAST: the time every picture of names[FIRST..LAST] had its
# thumbnail loaded (empty when not yet).
arrived() {
    local wanted
    wanted=$(printf '%s\n' "${names[@]:$1:$(($2 - $1 + 1))}")
    awk -v want="$wanted" 'BEGIN { n = split(want, w, "\n"); for (i = 1; i <= n; i++) need[w[i] " "] = 1; left = n }
        $2 == "Load" { key = $3 " "; if (key in need) { delete need[key]; left--; t = $1 } }
        END { if (left == 0) print t }' "$out/stamped.log"
}
# wait_arrived FIRST LAST SECONDS
wait_arrived() {
    local t
    for _ in $(seq $(($3 * 20))); do
        t=$(arrived "$1" "$2")
        [ -n "$t" ] && { echo "$t"; return 0; }
        sleep 0.05
    done
    return 1
}
peak_kb() { sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$1/status"; }

# The program on a folder of one picture: its own peak, without thumbnails to speak of.
"$exe" -thumbnails "$out/one" >/dev/null 2>&1 &
pid=$!
sleep 3
base_kb=$(peak_kb $pid)
kill $pid
wait $pid 2>/dev/null

for run in cold warm; do
    rm -f "$log" "$out/stamped.log"
    stamp_log >"$out/stamped.log" &
    stamper=$!
    begin=$(date +%s%N)
    PICTAVO_TRACE=1 "$exe" -thumbnails -log "$dir" >"$out/out-$run" 2>&1 &
    pid=$!
    if first=$(wait_arrived 0 $((screen - 1)) 30); then
        textures_ms=$(((first - begin) / 1000000))
    else
        textures_ms="timeout"
    fi
    # The trace counts from the process's start, a few ms after begin.
    first_ms=$(awk '/startup: visible thumbnails (swapped|shown without GL)/ { print int($(NF - 1)); exit }'         "$out/out-$run")
    first_ms=${first_ms:-$textures_ms}
    sleep 1
    import -window root "$out/$run-first.png" 2>/dev/null
    window=$(xdotool search --pid "$pid" --name Pictavo 2>/dev/null | head -1)
    xdotool mousemove --window "$window" $((W / 2)) $((H / 2))
    key=$(date +%s%N)
    xdotool key --window "$window" End
    last=$((${#names[@]} - 1))
    if t=$(wait_arrived $((last - screen + columns + 1)) "$last" 30); then
        end_ms=$(((t - key) / 1000000))
        [ "$end_ms" -lt 0 ] && end_ms=0 # already made before the key
    else
        end_ms="timeout"
    fi
    sleep 1
    import -window root "$out/$run-end.png" 2>/dev/null
    peak=$(peak_kb $pid)
    xdotool key --window "$window" Escape
    wait $pid 2>/dev/null
    kill $stamper 2>/dev/null
    wait $stamper 2>/dev/null
    printf '%s: first_screen %s ms (%d cells; textures %s ms), end_screen %s ms, peak RSS %d MB (one picture: %d MB; %d thumbnails of 256: %d MB)\n' \
        "$run" "$first_ms" "$screen" "$textures_ms" "$end_ms" $((peak / 1024)) $((base_kb / 1024)) "$max_count" \
        $((max_count * 256 * 256 * 4 * 4 / 3 / 1048576))
done
