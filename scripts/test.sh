#!/usr/bin/env bash
# Sets everything up (packages, build, Data/) and runs the tests, then the
# checked runs of scripts/checks.sh (sanitizers, valgrind, fuzzing). A
# failing test or finding fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
ctest --test-dir build --output-on-failure -j "$(nproc 2>/dev/null || echo 2)" --timeout 1200
scripts/checks.sh
