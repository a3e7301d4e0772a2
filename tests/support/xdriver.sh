# Sourced by scripts that drive an X11 program (they provide $tmp): its window, keys, clicks, colours.
if [ -x /usr/bin/convert ]; then convert=/usr/bin/convert; else convert=$(command -v convert); fi
for tool in xdotool xwd "$convert"; do
    command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done
shot=$tmp/shot.xwd

# screen_size: sets sw sh to the size of the display's screen.
screen_size() {
    read -r sw sh < <(xdotool getdisplaygeometry)
}

# find_window NAME PID: waits (15 s, while PID lives) for a visible window matching NAME; sets window.
find_window() {
    window=
    for _ in $(seq 300); do
        window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
        [ -n "$window" ] && return 0
        kill -0 "$2" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

# geometry: sets wx wy ww wh of the window.
geometry() {
    eval "$(xdotool getwindowgeometry --shell "$window" | sed -n 's/^X=/wx=/p;s/^Y=/wy=/p;s/^WIDTH=/ww=/p;s/^HEIGHT=/wh=/p')"
}

# eventually COMMAND...: true within 10 s (checked afresh each time).
eventually() {
    for _ in $(seq 100); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

# size_is W H: waits until the window has that size.
size_now() { geometry && [ "$ww" -eq "$1" ] && [ "$wh" -eq "$2" ]; }
size_is() {
    eventually size_now "$@" && return 0
    echo "window is ${ww}x$wh, expected ${1}x$2"
    return 1
}

# Without a window manager the keyboard follows the pointer.
key() {
    xdotool mousemove --window "$window" 40 40 key --delay 30 "$@"
}

# click BUTTON X Y (window coordinates)
click() {
    xdotool mousemove --window "$window" "$2" "$3" click "$1"
}

screenshot() {
    xwd -root -silent >"$shot"
}

# colour_at X Y: "r g b" (0..255) of the last screenshot at screen X Y.
colour_at() {
    "$convert" "xwd:$shot" -crop "1x1+$1+$2" -depth 8 txt:- |
        sed -n '2s/.*(\([0-9]*\),\([0-9]*\),\([0-9]*\).*/\1 \2 \3/p'
}

# near "r g b" "#rrggbb": within 40 per channel.
near() {
    local hex=${2#\#} a b c
    read -r a b c <<<"$1"
    [ -n "${c:-}" ] || return 1
    local r=$((16#${hex:0:2})) g=$((16#${hex:2:2})) bl=$((16#${hex:4:2}))
    [ $((a > r ? a - r : r - a)) -le 40 ] && [ $((b > g ? b - g : g - b)) -le 40 ] &&
        [ $((c > bl ? c - bl : bl - c)) -le 40 ]
}

# shows LEFT RIGHT: waits (10 s) for these colours left and right of the centre. The geometry is read each
# time: a full-screen start resizes the window a moment after mapping it.
shows_now() {
    geometry
    screenshot
    local y=$((wy + wh / 2)) xl=$((wx + ww / 2 - ww / 8)) xr=$((wx + ww / 2 + ww / 8))
    l=$(colour_at "$xl" "$y")
    r=$(colour_at "$xr" "$y")
    near "$l" "$1" && near "$r" "$2"
}
shows() {
    eventually shows_now "$@" && return 0
    echo "expected $1 | $2 at the centre, saw $l | $r"
    return 1
}

# pixel_is X Y COLOUR: waits (10 s at most) until the window pixel has the colour.
pixel_now() {
    geometry
    screenshot
    c=$(colour_at "$((wx + $1))" "$((wy + $2))")
    near "$c" "$3"
}
pixel_is() {
    eventually pixel_now "$@" && return 0
    echo "expected $3 at $1,$2, saw $c"
    return 1
}

# signature [X Y W H]: a small grey thumbnail of the window (or part), to tell screens apart.
signature() {
    geometry
    screenshot
    local x=${1:-0} y=${2:-0} w=${3:-$ww} h=${4:-$wh}
    "$convert" "xwd:$shot" -crop "${w}x${h}+$((wx + x))+$((wy + y))" +repage -colorspace gray -resize 64x40! \
        -depth 8 gray:- | od -An -tu1 -v | tr -s ' \n' ' '
}

# differ A B: the signatures differ noticeably (sum of absolute differences).
differ() {
    awk -v a="$1" -v b="$2" 'BEGIN {
        n = split(a, x, " "); m = split(b, y, " ")
        if (n != m) exit 0
        for (i = 1; i <= n; i++) d += (x[i] > y[i] ? x[i] - y[i] : y[i] - x[i])
        exit d > 400 ? 0 : 1
    }'
}
