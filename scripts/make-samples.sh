#!/usr/bin/env bash
# make-samples.sh DIR [OXIMAGE] — a small folder of sample pictures, one of
# every kind Pictavo reads, written with Pictavo's own writers (oximage)
# where it has one; GIF and BMP are read-only formats and come from
# ImageMagick. Each picture has two halves in colours of its own.
#
#   DIR/01-comment.jpg      JPEG with a comment
#   DIR/02-large.jpg        9000x3000 JPEG, wider than one texture may be
#   DIR/03-alpha.png        PNG with a transparent ramp
#   DIR/04-targa.tga        TGA
#   DIR/05-hdr.exr          OpenEXR (when the EXR library is installed)
#   DIR/06-still.gif        GIF
#   DIR/07-bitmap.bmp       BMP
#   DIR/sub-folder/08-sub.jpg  a picture in a sub-folder
#
# Existing files are replaced; nothing else in DIR is touched.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 DIR [OXIMAGE]" >&2; exit 2; }
dir=$1
here=$(cd "$(dirname "$0")/.." && pwd)
oximage=${2:-$here/build/tools/oximage}
[ -x "$oximage" ] || { echo "make-samples: $oximage not built" >&2; exit 1; }
# The real ImageMagick: a wrapper named convert may come first on PATH.
if [ -x /usr/bin/convert ]; then convert=/usr/bin/convert; else convert=$(command -v convert); fi
[ -n "$convert" ] || { echo "make-samples: ImageMagick (convert) is missing" >&2; exit 1; }

mkdir -p "$dir/sub-folder"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# halves OUT WIDTH HEIGHT LEFT RIGHT [extra convert arguments]: a PNG source.
halves() {
    local out=$1 w=$2 h=$3 left=$4 right=$5
    shift 5
    "$convert" -size "$((w / 2))x$h" "xc:$left" -size "$((w - w / 2))x$h" "xc:$right" +append "$@" \
        -depth 8 "PNG32:$out"
}

halves "$work/a.png" 1600 1200 '#c02020' '#2040c0'
"$oximage" convert "$work/a.png" "$dir/01-comment.jpg" --quality 92 >/dev/null
"$oximage" transform "$dir/01-comment.jpg" --comment "Sample picture with a comment" >/dev/null

"$convert" -size 3000x9000 gradient:'#f0c000-#004040' -rotate 90 -depth 8 "PNG32:$work/large.png"
"$oximage" convert "$work/large.png" "$dir/02-large.jpg" --quality 85 >/dev/null

"$convert" -size 1200x900 xc:'#20a040' \( -size 900x1200 gradient:white-black -rotate 90 \) \
    -alpha off -compose CopyOpacity -composite -depth 8 "PNG32:$dir/03-alpha.src.png"
"$oximage" convert "$dir/03-alpha.src.png" "$dir/03-alpha.png" >/dev/null
rm -f "$dir/03-alpha.src.png"

halves "$work/t.png" 1024 768 '#e07000' '#7000e0'
"$oximage" convert "$work/t.png" "$dir/04-targa.tga" >/dev/null

halves "$work/e.png" 1024 768 '#00c0c0' '#c000c0'
if ! "$oximage" convert "$work/e.png" "$dir/05-hdr.exr" >/dev/null 2>"$work/exr.err"; then
    echo "make-samples: no EXR sample ($(head -1 "$work/exr.err"))" >&2
fi

halves "$dir/06-still.gif.png" 800 600 '#ffff00' '#0000ff'
"$convert" "$dir/06-still.gif.png" "$dir/06-still.gif"
rm -f "$dir/06-still.gif.png"
halves "$work/b.png" 800 600 '#ff00ff' '#00ff00'
"$convert" "$work/b.png" -alpha off "BMP3:$dir/07-bitmap.bmp"

halves "$work/s.png" 1280 960 '#808080' '#ffffff'
"$oximage" convert "$work/s.png" "$dir/sub-folder/08-sub.jpg" >/dev/null

echo "sample pictures in $dir"
