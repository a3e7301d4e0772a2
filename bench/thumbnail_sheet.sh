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
PICTAVO_TRACE=1 "$harness" -n pictavo -F thumb -r "$repeats" -C "$corpus" -o "$out/pictavo" \
    -T "$sheet %f" -- "$pictavo" %f >"$out/pictavo.tsv"
"$harness" -n nsxiv -F thumb -r "$repeats" -C "$corpus" -o "$out/nsxiv" \
    -T "nsxiv -t -f -b %f" -- nsxiv -f -b %f >"$out/nsxiv.tsv"
# glfloor (bench/glfloor) showing the first picture of the folder: the least
# a GL program takes to put a picture on this renderer's screen, no peer.
floor=""
if [ -x "$build/bench/glfloor" ]; then
    "$harness" -n glfloor -F thumb -r "$repeats" -C "$corpus" -o "$out/glfloor" \
        -T "$build/bench/glfloor %f" -- "$build/bench/glfloor" %f >"$out/glfloor.tsv"
    floor=$(awk '$2 == "thumb_warm" { print $3 }' "$out/glfloor.tsv")
fi
cat "$out/pictavo.tsv" "$out/nsxiv.tsv"
for figure in thumb_cold thumb_warm; do
    p=$(awk -v f=$figure '$2 == f { print $3 }' "$out/pictavo.tsv")
    n=$(awk -v f=$figure '$2 == f { print $3 }' "$out/nsxiv.tsv")
    awk -v f=$figure -v p="$p" -v n="$n" -v g="$floor" 'BEGIN {
        if (p + 0 > 0 && n + 0 > 0) printf "%s: pictavo %s ms, nsxiv %s ms, ratio %.2f", f, p, n, p / n
        else printf "%s: pictavo %s, nsxiv %s", f, p, n
        if (f == "thumb_warm" && g + 0 > 0) printf " (glfloor, one picture: %s ms)", g
        printf "\n" }'
done

# The cold figure above is when the screen stops changing. Pictavo's
# progress bar moves until the last of the 300 thumbnails is made, while
# nsxiv shows nothing of its off-screen work; so the moment every visible
# cell is filled comes from Pictavo's start-up trace, put on the harness's
# clock by the offset between the harness's first paint and the trace's
# first frame of the same run (the earlier of the frames with and without
# GL, and so for the visible cells). Launches alternate cold, warm.
awk -F'\t' '$2 == "thumb_cold_first_paint" || $2 == "thumb_warm_first_paint" { print $4 }' \
    "$out/pictavo/raw.tsv" >"$out/first_paint"
awk '/startup: options parsed/ { n++ }
     /startup: first frame (swapped|shown without GL)/ && !(n in first) { first[n] = $(NF - 1) }
     /startup: visible thumbnails (swapped|shown without GL)/ && !(n in visible) { visible[n] = $(NF - 1) }
     END { for (i = 1; i <= n; i++) print first[i], visible[i] }' "$out/pictavo/viewer.log" >"$out/trace"
n=$(awk '$2 == "thumb_cold" { print $3 }' "$out/nsxiv.tsv")
paste -d' ' "$out/first_paint" "$out/trace" | awk -v n="$n" '
    function median(a, k,   i, j, t) {
        for (i = 1; i <= k; i++) for (j = i + 1; j <= k; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
        return k % 2 ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2 }
    NR % 2 == 1 && $3 != "" { c++; v[c] = $3 + ($1 - $2) }
    END {
        if (!c) { print "thumb_cold_visible: no trace"; exit }
        m = median(v, c)
        if (n + 0 > 0) printf "thumb_cold_visible: pictavo %.0f ms, nsxiv %s ms, ratio %.2f\n", m, n, m / n
        else printf "thumb_cold_visible: pictavo %.0f ms\n", m }'

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
