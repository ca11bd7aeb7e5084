#!/usr/bin/env bash
# Sets everything up (packages, build, Data/) and runs every test under
# ctest, the browser test among them. The deeper checks (sanitizers,
# valgrind, fuzzing) are scripts/checks.sh; .ci/run runs both. A failing
# test fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
ctest --test-dir build --output-on-failure -j "$(nproc 2>/dev/null || echo 2)" --timeout 1200
