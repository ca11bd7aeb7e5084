#!/usr/bin/env bash
# Sets everything up (packages, build, Data/) and runs the tests; the exit
# status is ctest's, so a failing test fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
ctest --test-dir build --output-on-failure -j "$(nproc 2>/dev/null || echo 2)" --timeout 1200
