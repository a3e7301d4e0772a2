#!/bin/bash
# Time to a complete first screen of thumbnails, cold (empty thumbnail
# cache) and warm, for Pictavo and nsxiv in the same run under the shared
# harness; then the throughput of making the 300 thumbnails against
# vipsthumbnail on the same files. Prints each figure with the ratio.
#
# usage: bench/thumbnail_sheet.sh [BUILD_DIR] [CORPUS]   (defaults: build, ~/bench-corpus)
set -uo pipefail
source "$(dirname "$0")/harness.sh"
pictavo=$build/app/pictavo

# Pictavo takes one file (its folder is shown), the harness gives them all.
sheet=$out/pictavo-sheet
printf '#!/bin/sh\nexec "%s" -thumbnails "$1"\n' "$pictavo" >"$sheet"
chmod +x "$sheet"
"$harness" -n pictavo -F thumb -r "$repeats" -C "$corpus" -o "$out/pictavo" \
    -T "$sheet %f" -- "$pictavo" %f >"$out/pictavo.tsv"
"$harness" -n nsxiv -F thumb -r "$repeats" -C "$corpus" -o "$out/nsxiv" \
    -T "nsxiv -t -f -b %f" -- nsxiv -f -b %f >"$out/nsxiv.tsv"
cat "$out/pictavo.tsv" "$out/nsxiv.tsv"
for figure in thumb_cold thumb_warm; do
    p=$(awk -v f=$figure '$2 == f { print $3 }' "$out/pictavo.tsv")
    n=$(awk -v f=$figure '$2 == f { print $3 }' "$out/nsxiv.tsv")
    awk -v f=$figure -v p="$p" -v n="$n" 'BEGIN {
        if (p + 0 > 0 && n + 0 > 0) printf "%s: pictavo %s ms, nsxiv %s ms, ratio %.2f\n", f, p, n, p / n
        else printf "%s: pictavo %s, nsxiv %s\n", f, p, n }'
done

# Throughput: 300 thumbnails of 256 made into an empty cache, all cores.
files=("$corpus"/d-thumbs/*.jpg)
vdir=$(mktemp -d)
start=$(date +%s%N)
vipsthumbnail -s 256 -o "$vdir/%s.png" "${files[@]}" 2>/dev/null
vips_ms=$((($(date +%s%N) - start) / 1000000))
rm -rf "$vdir"
make=$build/bench/loader_bench
if [ -x "$build/bench/thumbnail_bench" ]; then
    pdir=$(mktemp -d)
    start=$(date +%s%N)
    XDG_CACHE_HOME=$pdir "$build/bench/thumbnail_bench" "${files[@]}" >/dev/null
    pictavo_ms=$((($(date +%s%N) - start) / 1000000))
    rm -rf "$pdir"
    awk -v p=$pictavo_ms -v v=$vips_ms 'BEGIN { printf "make_300: pictavo %d ms, vipsthumbnail %d ms, ratio %.2f\n", p, v, p / v }'
else
    echo "make_300: vipsthumbnail $vips_ms ms (no thumbnail_bench built)"
fi
echo "raw samples and screenshots: $out"
