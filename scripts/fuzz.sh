#!/usr/bin/env bash
# Builds the libFuzzer targets of the loaders with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) into build-fuzz/, seeds each from the
# generated Data/ and from files made by other tools, and runs each for
# SECONDS (default 60), or until it has tried RUNS inputs when RUNS is set.
# Prints the inputs tried and the findings per target; a finding (crash,
# sanitizer report, an input slower than a second, a leak) fails the script
# and is kept in build-fuzz/findings/<target>/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_PER_TARGET=${1:-60}
RUNS=${RUNS:-}
JOBS=$(nproc 2>/dev/null || echo 2)

if [ ! -d Data ] || [ ! -x build/datagen ]; then scripts/setup.sh; fi
for tool in clang clang++ ffmpeg; do
  command -v "$tool" >/dev/null || { echo "fuzz.sh: $tool is missing (scripts/setup.sh installs it)" >&2; exit 1; }
done

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DBRALMOND_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j "$JOBS" >/dev/null

seeds=build-fuzz/seeds
rm -rf "$seeds"
mkdir -p "$seeds"/mesh "$seeds"/map "$seeds"/bmp "$seeds"/mp3
cp Data/*.msh "$seeds"/mesh/
cp Data/*.map "$seeds"/map/
cp Data/Partikel1.bmp Data/Partikel2.bmp "$seeds"/bmp/
ff() { ffmpeg -loglevel error -y "$@"; }
# Pictures as other tools write them, small so that every input stays quick.
for format in pal8 bgr8 monob gray rgb555le rgb565le rgb444le bgr24 bgra bgr0; do
  ff -f lavfi -i testsrc=size=16x12 -frames:v 1 -pix_fmt "$format" "$seeds/bmp/$format.bmp" 2>/dev/null || true
done
# Sound at the MPEG rates, mono and stereo, constant and variable rate, tagged, layer 2.
ff -f lavfi -i sine=f=440:d=0.3 -ar 8000 -ac 1 "$seeds"/mp3/mono8k.mp3
ff -f lavfi -i sine=f=440:d=0.3 -ar 22050 -ac 1 -b:a 32k "$seeds"/mp3/mono22k.mp3
ff -f lavfi -i sine=f=440:d=0.3 -ar 44100 -ac 2 "$seeds"/mp3/stereo44k.mp3
ff -f lavfi -i sine=f=440:d=0.3 -ar 48000 -ac 2 -q:a 4 -id3v2_version 3 -metadata title=Seed "$seeds"/mp3/vbr48k.mp3
ff -f lavfi -i sine=f=440:d=0.3 -ar 48000 -c:a mp2 "$seeds"/mp3/layer2.mp2
head -c 65536 Data/Soundtrack.mp3 > "$seeds"/mp3/soundtrack-start.mp3

status=0
printf '%-10s %12s %9s\n' target inputs findings
for target in mesh map bmp mp3; do
  program=build-fuzz/fuzz/fuzz_$target
  [ -x "$program" ] || continue
  corpus=build-fuzz/corpus/$target
  findings=build-fuzz/findings/$target
  mkdir -p "$corpus" "$findings"
  limit=(-max_total_time="$SECONDS_PER_TARGET")
  [ -n "$RUNS" ] && limit=(-runs="$RUNS")
  log=build-fuzz/fuzz-$target.log
  set +e
  # A hang never ends; a large picture that a small run-length file declares
  # takes a second or two to decode under the instrumentation, and is no fault.
  ASAN_OPTIONS=detect_leaks=1 "$program" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 -max_len=262144 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$seeds/$target" >"$log" 2>&1
  rc=$?
  set -e
  runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)
  found=$(find "$findings" -type f | wc -l)
  printf '%-10s %12s %9s\n' "$target" "${runs:-0}" "$found"
  if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
    status=1
    grep -E 'ERROR|SUMMARY|Test unit written' "$log" | head -5 >&2 || true
  fi
done
exit $status
