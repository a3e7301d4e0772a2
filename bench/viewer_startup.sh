#!/bin/bash
# Start-up, stepping and memory of Pictavo beside nsxiv and feh (those that
# are installed), all in one run of the shared harness: cold start to the
# settled 4000x3000 and 12000x9000 pictures, the next picture after a 1 s
# pause and while stepping rapidly, peak memory; then each program's own
# baseline, its RSS showing a 64x64 picture full-screen. Prints each figure
# with its ratio to the best peer, and the memory the pictures add (peak
# minus baseline) with its ratio. glfloor (bench/glfloor) runs beside them as
# the least a GL viewer does on the same renderer: its start-up, its step (one
# cross-fade frame of two pictures read ahead) and its baseline show what the
# renderer itself costs; it is no peer.
#
# usage: bench/viewer_startup.sh [BUILD_DIR] [CORPUS]   (defaults: build, ~/bench-corpus)
#        REPEATS=N (default 3) repeats of each figure
set -uo pipefail
source "$(dirname "$0")/harness.sh"

# name, next key, figures, command line (%f: the pictures)
viewers=("pictavo|space|cold,huge,step|$build/app/pictavo %f")
command -v nsxiv >/dev/null && viewers+=("nsxiv|n|cold,huge,step|nsxiv -f -b %f")
command -v feh >/dev/null && viewers+=("feh|space|cold,huge,step|feh -F %f")
[ -x "$build/bench/glfloor" ] && viewers+=("glfloor|space|cold,huge,step|$build/bench/glfloor %f")

for v in "${viewers[@]}"; do
    IFS='|' read -r name key figs cmd <<<"$v"
    # shellcheck disable=SC2086 # the command line is word-split on purpose
    "$harness" -n "$name" -k "$key" -F "$figs" -r "$repeats" -C "$corpus" -o "$out/$name" -- $cmd \
        >"$out/$name.tsv" 2>>"$out/harness.log"
done

# The baseline: a 64x64 picture alone in its folder, full-screen on the
# harness's kind of display, fresh HOME, RSS after it has settled.
tiny=$out/tiny
mkdir -p "$tiny"
convert -size 64x64 xc:'#808080' "$tiny/tiny.jpg"
baseline() {
    local cmd=${1//%f/$tiny/tiny.jpg} vhome
    vhome=$(mktemp -d)
    # shellcheck disable=SC2016
    xvfb-run -a -s "-screen 0 1920x1080x24 +extension GLX" bash -c '
        openbox --sm-disable >/dev/null 2>&1 &
        wm=$!
        sleep 1
        env HOME="$0" XDG_CACHE_HOME="$0/.cache" XDG_CONFIG_HOME="$0/.config" LIBGL_ALWAYS_SOFTWARE=1 \
            DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent NO_AT_BRIDGE=1 $1 </dev/null >/dev/null 2>&1 &
        viewer=$!
        sleep 4
        awk "/^VmRSS/ { printf \"%.1f\n\", \$2 / 1024 }" /proc/$viewer/status
        kill $viewer $wm 2>/dev/null
        wait $viewer 2>/dev/null' "$vhome" "$cmd"
    rm -rf "$vhome"
}
for v in "${viewers[@]}"; do
    IFS='|' read -r name key figs cmd <<<"$v"
    printf '%s\trss_baseline_64x64\t%s\tMiB\n' "$name" "$(baseline "$cmd")" >>"$out/$name.tsv"
done

cat "$out"/*.tsv >"$out/all.tsv"
figures=(cold_picture_4000x3000 cold_picture_12000x9000 step_wait1s_median step_rapid_median
         rss_4000x3000 rss_12000x9000 rss_after_steps rss_baseline_64x64
         picture_memory_4000x3000 picture_memory_12000x9000 picture_memory_after_steps)
awk -F'\t' -v order="${figures[*]}" '
    { value[$1, $2] = $3; if (!($1 in seen)) { seen[$1] = 1; names[++n] = $1 } }
    END {
        for (i = 1; i <= n; ++i) {
            v = names[i]; b = value[v, "rss_baseline_64x64"]
            split("4000x3000 12000x9000 after_steps", kinds, " ")
            for (m in kinds)
                if (b != "" && value[v, "rss_" kinds[m]] != "")
                    value[v, "picture_memory_" kinds[m]] = value[v, "rss_" kinds[m]] - b
        }
        printf "%-28s", "figure (ms / MiB)"
        for (i = 1; i <= n; ++i) printf "%12s", names[i]
        printf "%16s%16s\n", "pictavo/best", "pictavo/glfloor"
        k = split(order, fig, " ")
        for (j = 1; j <= k; ++j) {
            f = fig[j]; best = ""
            printf "%-28s", f
            for (i = 1; i <= n; ++i) {
                x = value[names[i], f]
                printf "%12s", x == "" ? "-" : x
                if (names[i] != "pictavo" && names[i] != "glfloor" && x != "" && x != "fail" && (best == "" || x + 0 < best + 0)) best = x
            }
            p = value["pictavo", f]
            if (best + 0 > 0 && p != "" && p != "fail") printf "%16.2f", p / best
            else printf "%16s", "-"
            g = value["glfloor", f]
            if (g + 0 > 0 && p != "" && p != "fail") printf "%16.2f\n", p / g
            else printf "%16s\n", "-"
        }
    }' "$out/all.tsv"
echo "raw figures, samples and screenshots: $out"
