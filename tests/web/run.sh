#!/usr/bin/env bash
# The browser test: builds the web side (scripts/web.sh), installs the test's
# driver (puppeteer-core, from package-lock.json) when it is missing, takes the
# native headless shots the browser's are compared with, and runs
# browser_test.mjs in Debian's Chromium. Exit 0 on a pass, 1 on a failure,
# 77 (skipped) when emscripten, Chromium or Node.js is missing.
#   tests/web/run.sh [NATIVE_BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}

for tool in emcc chromium node npm; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: the browser test needs $tool (scripts/setup.sh installs it as root)"
    exit 77
  fi
done

scripts/web.sh
if [ ! -d tests/web/node_modules/puppeteer-core ]; then
  (cd tests/web && npm ci --no-audit --no-fund --loglevel=error)
fi

shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
# The same frames as the browser's deterministic run: 20 frames a second of
# virtual time, shots at 10 s (scene 1) and 44 s (scene 2).
"$build/bralmond" --headless --fps 20 --until 45 --shots 10,44 --out "$shots"
# And the frame at 44 s with the picture-quality options the page is given.
mkdir -p "$shots/quality"
"$build/bralmond" --headless --fps 20 --start 44 --until 44.2 --shots 44 --out "$shots/quality" --msaa 4 --supersample 2 --filter
node tests/web/browser_test.mjs build-web "$shots"
