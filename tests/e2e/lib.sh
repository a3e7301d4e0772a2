# Sourced by the end-to-end scripts (arguments: build folder, source folder): a temporary HOME, the message
# seam, starting and stopping the real program; keys, clicks and colours from tests/support/xdriver.sh.
set -u
build=$1
src=$2
exe=$build/app/pictavo
oximage=$build/tools/oximage
[ -x "$exe" ] || { echo "missing $exe"; exit 1; }
[ -x "$oximage" ] || { echo "missing $oximage"; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "needs an X display (run under xvfb-run)"; exit 1; }
tmp=$(mktemp -d)
source "$src/tests/support/xdriver.sh"
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
# glibc reports a fatal error (a corrupted heap) on the terminal unless told otherwise.
export LIBC_FATAL_STDERR_=1
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
unset OX_MESSAGE_LOG OX_MESSAGE_ANSWERS LANGUAGE LC_ALL LC_MESSAGES
export LANG=C
messages=$tmp/messages.log
settings="$XDG_CONFIG_HOME/Quorvel Software/Pictavo/settings.ini"

# check NAME COMMAND...: runs a check, counts it.
check() {
    local name=$1
    shift
    if "$@"; then
        passes=$((passes + 1))
        echo "ok: $name"
    else
        echo "FAIL: $name"
        failures=$((failures + 1))
        return 1
    fi
}

finish() {
    echo "$passes passed, $failures failed"
    [ "$failures" -eq 0 ]
    exit $?
}

# picture FILE LEFT RIGHT [W H]: halves of those colours, written by Pictavo's own writer.
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

window=
# start ARGS...: the program in the background, boxes through the seam unless OX_MESSAGE_LOG=""; waits for
# its window.
start() {
    : >"$messages"
    OX_MESSAGE_LOG=${OX_MESSAGE_LOG-$messages} "$exe" "$@" >"$tmp/out" 2>&1 &
    pid=$!
    # The caption names the picture: "a.jpg (1/3) - Pictavo", or "Pictavo".
    if ! find_window "Pictavo$" "$pid"; then
        local code=running
        kill -0 "$pid" 2>/dev/null || { wait "$pid"; code=$?; }
        echo "no window (exit code $code); output:"
        cat "$tmp/out"
        echo "messages:"
        cat "$messages"
        return 1
    fi
    # Without a window manager the keyboard follows the pointer.
    xdotool mousemove --window "$window" 40 40
}

# stop_with KEY: the key ends the program with exit code 0 (a check).
rc=
stop_with() {
    key "$1"
    wait_exit
    check "$1: exit code 0" test "$rc" -eq 0
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

# escape_within MS: Escape ends the program with code 0 within MS ms.
escape_within() {
    local begin end
    begin=$(date +%s%N)
    key Escape
    wait_exit
    end=$(date +%s%N)
    echo "Escape to exit: $(((end - begin) / 1000000)) ms, exit code $rc"
    [ "$rc" -eq 0 ] && [ $(((end - begin) / 1000000)) -le "$1" ]
}

# logged TEXT: a message box whose line holds TEXT is logged (waits for it).
logged() {
    eventually grep -qF -- "$1" "$messages" && return 0
    echo "no message with '$1'; messages:"
    cat "$messages"
    return 1
}

# The sheet at its defaults (margins 400 and 50, items 256, borders 5) fitted to the screen: columns, scale.
sheet_geometry() {
    screen_size
    columns=$(((sw - 400) / 128))
    [ "$columns" -lt 3 ] && columns=3
    scale=$(awk -v w="$sw" -v c="$columns" 'BEGIN { printf "%.6f", w / (261 * c + 400) }')
}

# at INDEX [FX FY [SCROLL]]: the window point at FX, FY (0..256, the middle by default) of cell INDEX,
# the sheet scrolled down by SCROLL pixels.
at() {
    awk -v i="$1" -v fx="${2:-128}" -v fy="${3:-128}" -v oy="${4:-0}" -v c="$columns" -v s="$scale" \
        'BEGIN { printf "%d %d", (261 * (i % c) + 400 + fx) * s, (261 * int(i / c) + 50 + fy) * s - oy }'
}
# click_cell BUTTON INDEX [SCROLL] [MODIFIER]
click_cell() {
    local x y
    read -r x y < <(at "$2" 128 128 "${3:-0}")
    if [ -n "${4:-}" ]; then
        xdotool mousemove --window "$window" "$x" "$y" keydown "$4" click "$1" keyup "$4"
    else
        click "$1" "$x" "$y"
    fi
}
