# Shared by the end-to-end scripts (sourced): a temporary HOME and XDG
# folders, the message seam, starting and stopping the real program, keys
# and clicks through xdotool, and colour checks on screenshots.
# The sourcing script is called with: build folder, source folder, shared folder.
set -u
build=$1
src=$2
exe=$build/app/pictavo
oximage=$build/tools/oximage
[ -x "$exe" ] || { echo "missing $exe"; exit 1; }
[ -x "$oximage" ] || { echo "missing $oximage"; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "needs an X display (run under xvfb-run)"; exit 1; }
if [ -x /usr/bin/convert ]; then convert=/usr/bin/convert; else convert=$(command -v convert); fi
for tool in xdotool xwd "$convert"; do
    command -v "$tool" >/dev/null || { echo "missing $tool"; exit 1; }
done

tmp=$(mktemp -d)
pid=
failures=0
passes=0
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config XDG_DATA_HOME=$tmp/home/.local/share
export XDG_CACHE_HOME=$tmp/home/.cache LIBGL_ALWAYS_SOFTWARE=1
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
unset OX_MESSAGE_LOG OX_MESSAGE_ANSWERS LANGUAGE LC_ALL LC_MESSAGES
export LANG=C
messages=$tmp/messages.log
settings="$XDG_CONFIG_HOME/Quorvel Software/Pictavo/settings.ini"

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
    return 1
}

# check NAME COMMAND...: runs a check, counts it.
check() {
    local name=$1
    shift
    if "$@"; then
        passes=$((passes + 1))
        echo "ok: $name"
    else
        fail "$name"
    fi
}

finish() {
    echo "$passes passed, $failures failed"
    [ "$failures" -eq 0 ]
    exit $?
}

# picture FILE LEFT RIGHT [W H]: a picture whose left and right halves have
# the given colours, written by Pictavo's own writer for the file's format.
picture() {
    local out=$1 left=$2 right=$3 w=${4:-1600} h=${5:-1200}
    mkdir -p "$(dirname "$out")" "$tmp/.gen"
    "$convert" -size "$((w / 2))x$h" "xc:$left" -size "$((w - w / 2))x$h" "xc:$right" +append \
        -depth 8 "PNG24:$tmp/.gen/src.png"
    case "$out" in
    *.png) cp "$tmp/.gen/src.png" "$out" ;;
    *) "$oximage" convert "$tmp/.gen/src.png" "$out" --quality 95 >/dev/null ;;
    esac
}

# setting KEY: the stored value of a key ("" when missing).
setting() {
    [ -f "$settings" ] && sed -n "s/^$1=//p" "$settings" | head -1
}

# store KEY VALUE before a start.
store() {
    mkdir -p "$(dirname "$settings")"
    [ -f "$settings" ] || printf '[Settings]\n' >"$settings"
    sed -i "/^$1=/d" "$settings"
    echo "$1=$2" >>"$settings"
}

window=
# start ARGS...: starts the program in the background (messages logged and
# answered through the seam unless OX_MESSAGE_LOG is set to ""), waits for
# its window.
start() {
    : >"$messages"
    OX_MESSAGE_LOG=${OX_MESSAGE_LOG-$messages} "$exe" "$@" >"$tmp/out" 2>&1 &
    pid=$!
    window=
    for _ in $(seq 300); do
        # The program's window (its caption names the picture; boxes carry no pid).
        window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1)
        [ -n "$window" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    if [ -z "$window" ]; then
        echo "no window; output:"
        cat "$tmp/out"
        return 1
    fi
    # Without a window manager the keyboard follows the pointer.
    xdotool mousemove --window "$window" 40 40
}

# geometry: sets wx wy ww wh of the program's window.
geometry() {
    eval "$(xdotool getwindowgeometry --shell "$window" | sed -n 's/^X=/wx=/p;s/^Y=/wy=/p;s/^WIDTH=/ww=/p;s/^HEIGHT=/wh=/p')"
}

# size_is W H: waits (5 s at most) until the window has that size.
size_is() {
    for _ in $(seq 50); do
        geometry
        [ "$ww" -eq "$1" ] && [ "$wh" -eq "$2" ] && return 0
        sleep 0.1
    done
    echo "window is ${ww}x$wh, expected ${1}x$2"
    return 1
}

key() {
    xdotool mousemove --window "$window" 40 40 key --delay 30 "$@"
}

# click BUTTON X Y (window coordinates)
click() {
    xdotool mousemove --window "$window" "$2" "$3" click "$1"
}

# stop_with KEY: the key ends the program; its exit code goes to $rc.
rc=
stop_with() {
    key "$1"
    wait_exit
}

wait_exit() {
    rc=
    for _ in $(seq 200); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "still running"
        kill "$pid"
    fi
    wait "$pid"
    rc=$?
    pid=
}

shot=$tmp/shot.xwd
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

# shows LEFT RIGHT: waits (10 s at most) until the window's centre shows
# the left colour a little left of the middle and the right one right of it.
# The geometry is read each time: a full-screen start maps the window at its
# initial size first and resizes it a moment later.
shows() {
    local l r
    for _ in $(seq 100); do
        geometry
        screenshot
        local y=$((wy + wh / 2)) xl=$((wx + ww / 2 - ww / 8)) xr=$((wx + ww / 2 + ww / 8))
        l=$(colour_at "$xl" "$y")
        r=$(colour_at "$xr" "$y")
        near "$l" "$1" && near "$r" "$2" && return 0
        sleep 0.1
    done
    echo "expected $1 | $2 at the centre, saw $l | $r"
    return 1
}

# logged TEXT: a message box whose line holds TEXT was logged.
# The program answers boxes on its own schedule: waits (5 s at most).
logged() {
    for _ in $(seq 50); do
        grep -qF -- "$1" "$messages" && return 0
        sleep 0.1
    done
    echo "no message with '$1'; messages:"
    cat "$messages"
    return 1
}

# signature [X Y W H]: a small grey thumbnail of the window (or of that part
# of it), to tell screens apart.
signature() {
    geometry
    screenshot
    local x=${1:-0} y=${2:-0} w=${3:-$ww} h=${4:-$wh}
    "$convert" "xwd:$shot" -crop "${w}x${h}+$((wx + x))+$((wy + y))" +repage -colorspace gray -resize 64x40! \
        -depth 8 gray:- | od -An -tu1 -v | tr -s ' \n' ' '
}

# pixel_is X Y COLOUR: waits (10 s at most) until the window pixel has the colour.
pixel_is() {
    local c
    for _ in $(seq 100); do
        geometry
        screenshot
        c=$(colour_at "$((wx + $1))" "$((wy + $2))")
        near "$c" "$3" && return 0
        sleep 0.1
    done
    echo "expected $3 at $1,$2, saw $c"
    return 1
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

same() {
    ! differ "$1" "$2"
}
