#!/usr/bin/env bash
# Installs the Debian packages Pictavo needs to build, test and benchmark.
# Runs as root (or through sudo). Set OX_SKIP_DEPS=1 to skip.
set -euo pipefail
[ "${OX_SKIP_DEPS:-0}" = 1 ] && exit 0

packages=(
  # build
  build-essential cmake ninja-build pkg-config gettext ccache freeglut3-dev libglu1-mesa-dev
  libgl1-mesa-dri libjpeg62-turbo-dev libpng-dev zlib1g-dev libglib2.0-dev libgdk-pixbuf-2.0-dev
  libcanberra-dev libfreetype-dev libxft-dev fonts-liberation2 libgtest-dev libgmock-dev libbenchmark-dev
  liblcms2-dev libfontconfig-dev libxkbcommon-dev
  # sanitizers and fuzzing
  clang libclang-rt-14-dev
  # run time: EXR support (loaded with dlopen); the SVG loader that draws the window icon
  libopenexr-3-1-30 librsvg2-common
  # tests
  xvfb xauth xdotool x11-apps imagemagick libjpeg-turbo-progs openexr acl attr
  fonts-dejavu-core fonts-noto-cjk
  # benchmarks, and the viewer harness with the viewers it compares against
  libvips-tools nsxiv feh openbox x11-utils libxtst-dev libxdamage-dev libxfixes-dev libxext-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq || true
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
