#!/usr/bin/env bash
# Sets everything up (packages, build, Data/) and plays the show. Extra
# arguments go to the player, e.g. --windowed or --headless --shots 10,20.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
exec build/bralmond "$@"
