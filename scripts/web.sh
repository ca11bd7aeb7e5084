#!/usr/bin/env bash
# The show in a web browser: installs what is missing (emscripten and its
# node-acorn), builds with Debian's emscripten into build-web/ with the
# generated Data/ packed beside the page (its pictures as PNGs of the same
# pixels, its meshes and maps gzipped: tools/webdata/pack_page_data.py),
# prints the sizes the page downloads, and with --serve serves the page on
# 127.0.0.1 and prints its address.
#   scripts/web.sh [--serve [PORT]]
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
for p in emscripten node-acorn python3; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  else
    echo "These Debian packages are missing; install them as root: apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi
[ -d Data ] && [ -f Data/Soundtrack.mp3 ] || scripts/setup.sh

# Debian's emscripten finds acorn among the system's node modules.
export NODE_PATH=/usr/share/nodejs
mkdir -p build-web
python3 tools/webdata/pack_page_data.py Data build-web/page-data/Data
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DBRALMOND_DATA_DIR="$PWD/build-web/page-data/Data" >/dev/null
cmake --build build-web -j "$(nproc 2>/dev/null || echo 2)"
# The title picture comes out of the data once it has loaded.
rm -f build-web/title.bmp
echo "built build-web/index.html"
bytes=0
for f in index.html bralmond.js bralmond.wasm bralmond.data; do
  size=$(stat -c %s "build-web/$f")
  bytes=$((bytes + size))
  echo "  $f $size bytes"
done
echo "the page downloads $bytes bytes"

if [ "${1:-}" = "--serve" ]; then
  port=${2:-8080}
  echo "The show is at http://127.0.0.1:$port/ (Ctrl-C stops the server)"
  exec python3 -m http.server "$port" --bind 127.0.0.1 --directory build-web
fi
