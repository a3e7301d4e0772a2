#!/usr/bin/env bash
# Installs what is missing, builds and installs Pictavo (cmake --install,
# prefix /usr/local unless OX_PREFIX says otherwise), makes a folder of
# sample pictures and starts Pictavo on it. Arguments are passed to the
# program before the folder (for example -window).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
build="${OX_BUILD_DIR:-build}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo cmake --install "$build" --prefix "${OX_PREFIX:-/usr/local}" >/dev/null
samples="$(cd "$build" && pwd)/samples"
scripts/make-samples.sh "$samples" "$build/tools/oximage"
exec "${OX_PREFIX:-/usr/local}/bin/pictavo" "$@" "$samples"
