#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test. The GL and
# end-to-end tests run on their own virtual X display (Xvfb, software GL).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
build="${OX_BUILD_DIR:-build}"
export LIBGL_ALWAYS_SOFTWARE=1
xvfb-run -a -s "-screen 0 1920x1200x24 +extension GLX" \
  ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
