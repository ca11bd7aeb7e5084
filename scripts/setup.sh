#!/usr/bin/env bash
# Sets the project up from a clean checkout: installs the Debian packages that
# are missing, configures and builds into build/, and writes Data/ with the
# content generator (never overwriting a file that is already there).
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake pkg-config
  libsdl2-dev libepoxy-dev libegl-dev libegl-mesa0 libgl1-mesa-dri libgles-dev
  libmpg123-dev libmp3lame-dev libstb-dev fonts-dejavu-core libpng-dev
  ffmpeg libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth
  clang libclang-rt-14-dev valgrind linux-perf
  emscripten node-acorn python3 chromium
  desktop-file-utils man-db lintian dpkg-dev fakeroot xz-utils
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    echo "These Debian packages are missing; install them as root:" >&2
    echo "  apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi

JOBS=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$JOBS"

if [ -x build/datagen ]; then
  build/datagen --out Data
fi
