# Sourced by the bench scripts that drive the shared viewer harness: sets
# src, build (first argument, default build), corpus (second argument,
# default ~/bench-corpus), harness, repeats (REPEATS, default 3) and out (a
# fresh folder for raw results).
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$src/build}" && pwd)
corpus=${2:-$HOME/bench-corpus}
harness=${BENCH_HARNESS:-$src/../../shared/bench/measure.sh}
[ -x "$harness" ] || harness=/work/shared/bench/measure.sh
repeats=${REPEATS:-3}
out=$(mktemp -d)
