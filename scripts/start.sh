#!/usr/bin/env bash
# Installs what is missing, builds Pictavo and starts it. Arguments are
# passed to the program (for example -window).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
exec build/app/pictavo "$@"
