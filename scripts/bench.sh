#!/usr/bin/env bash
# Figures of the show's speed on this machine (a benchmark, not a test):
# builds a Release build into build-release/ and, for every scene at 800x600
# and 1600x1200, renders a stretch of it headless and prints the finished
# frames a second, the peak memory, the pixels filled a frame (counted by the
# device), the fill-bound frame rate (the fill rate of additive textured
# layers, measured in the same run on the same device, over those pixels) and
# the share of it reached; at 800x600 also the CPU milliseconds a frame in
# the system's own code and in the stand-ins (perf, where the kernel allows).
# Then start-up to the first frame, and the speed of --capture (every scene)
# and --frames (the first) as a share of the headless speed over the same
# stretch. Last, the cost of each picture-quality option in every scene at
# 800x600 (frames a second, and their share of the plain run's), and the
# peak memory of --supersample 2 at 1920x1080. With --quality, only that.
#   scripts/bench.sh [--quality] [SECONDS per stretch, default 8]
set -euo pipefail
cd "$(dirname "$0")/.."

QUALITY_ONLY=0
if [ "${1:-}" = "--quality" ]; then QUALITY_ONLY=1; shift; fi
STRETCH=${1:-8}
JOBS=$(nproc 2>/dev/null || echo 2)
[ -d Data ] || scripts/setup.sh
# Release, with line tables so that perf can tell whose code a sample is in.
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O3 -DNDEBUG -g" >/dev/null
cmake --build build-release -j "$JOBS" --target bralmond bench_fill >/dev/null
player=build-release/bralmond
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The show's scenes: name and the music time a second after each begins.
scenes=("scene1 1" "scene2 41.5" "scene3 112" "scene4 131" "scene5 170.5")

# Fill rate in Mpix/s at a size, from the benchmark's items a second.
fill_rate() {
  build-release/bench_fill --benchmark_filter="AdditiveFill/$1/$2/" 2>/dev/null |
    awk '/items_per_second/ { for (i = 1; i <= NF; i++) if ($i ~ /^items_per_second=/) {
      split($i, a, "="); v = a[2]; m = 1;
      if (v ~ /G\/s$/) m = 1000; else if (v ~ /k\/s$/) m = 0.001; else if (v ~ /M\/s$/) m = 1; else m = 1e-6;
      sub(/[kMG]?\/s$/, "", v); printf "%.1f", v * m } }'
}

# One run with --stats: prints "fps peakMiB" (and Mpix a frame with --count-pixels).
measure() {
  local log=$work/run.log
  /usr/bin/time -f "peak %M" "$player" --headless "$@" --stats 2>"$log" >/dev/null
  local fps pix peak
  fps=$(grep -oE '[0-9.]+ finished frames a second' "$log" | awk '{print $1}' || true)
  pix=$(grep -oE '[0-9.]+ Mpix filled a frame' "$log" | awk '{print $1}' || true)
  peak=$(awk '/^peak/ {printf "%.0f", $2 / 1024}' "$log")
  echo "${fps:-0} ${peak:-0} ${pix:-0}"
}

perf_ok=0
if command -v perf >/dev/null && perf stat -e task-clock true >/dev/null 2>&1; then perf_ok=1; fi

# CPU ms a frame in the system's code and in the stand-ins, from perf samples
# of the player's own code, told apart by the source file each sample's code
# comes from (the folder of that file in the tree), or by its function's name
# where the code is inlined from a library header.
cpu_split() {
  local start=$1 until=$2 frames=$3
  perf record -q -F 999 -o "$work/perf.data" "$player" --headless --start "$start" --until "$until" >/dev/null 2>&1 || return 0
  git ls-files app resources effects parts platform >"$work/files.txt"
  perf script -i "$work/perf.data" -F ip,sym,dso,srcline 2>/dev/null | python3 -c '
import os, re, sys
frames = float(sys.argv[1])
folders = {}
for path in open(sys.argv[2]):
    path = path.strip()
    folders[os.path.basename(path)] = "standin" if path.startswith("platform/") else "system"
platform = re.compile(r"d3d8|gl_backend|fixed_function|gl_context|presentation|bass|BASS_|runtime::|host::|D3DX|d3dx8|Device::|Direct3D")
counts = {"system": 0, "standin": 0}
lines = sys.stdin.read().split("\n")
for i, line in enumerate(lines):
    if "/bralmond)" not in line: continue
    source = lines[i + 1].strip().split(":")[0] if i + 1 < len(lines) else ""
    kind = folders.get(source)
    if kind is None: kind = "standin" if platform.search(line) else "system"
    counts[kind] += 1
print("%.2f %.2f" % (counts["system"] / 999.0 * 1000 / frames, counts["standin"] / 999.0 * 1000 / frames))
' "$frames" "$work/files.txt"
}

# The cost of the picture-quality options: each scene's stretch at 800x600
# with each option, its frames a second, their share of the plain run's, and
# the peak memory.
quality_costs() {
  local options=("" "--msaa 4" "--supersample 2" "--filter" "--best-picture")
  printf '%-8s %-16s %8s %7s %9s\n' scene option fps share 'peak MiB'
  for entry in "${scenes[@]}"; do
    set -- $entry
    local name=$1 start=$2 plain=0
    local until
    until=$(awk -v s="$start" -v t="$STRETCH" 'BEGIN {print s + t}')
    for option in "${options[@]}"; do
      read -r fps peak _ < <(measure --size 800x600 --start "$start" --until "$until" $option)
      [ -z "$option" ] && plain=$fps
      printf '%-8s %-16s %8s %7s %9s\n' "$name" "${option:-(none)}" "$fps" \
        "$(awk -v f="$fps" -v p="$plain" 'BEGIN { if (p > 0) printf "%.2f", f / p; else print "-" }')" "$peak"
    done
  done
  read -r fps peak _ < <(measure --size 1920x1080 --start 131 --until "$(awk -v t="$STRETCH" 'BEGIN {print 131 + t}')" --supersample 2)
  echo "--supersample 2 at 1920x1080 (scene4): $fps fps, peak $peak MiB"
}
if [ "$QUALITY_ONLY" = 1 ]; then
  quality_costs
  exit 0
fi

printf '%-8s %-10s %8s %9s %9s %10s %8s %11s %12s\n' scene size fps 'peak MiB' 'Mpix/fr' 'fill bound' share 'system ms' 'stand-in ms'
for size in 800x600 1600x1200; do
  w=${size%x*}; h=${size#*x}
  rate=$(fill_rate "$w" "$h")
  for entry in "${scenes[@]}"; do
    set -- $entry
    name=$1 start=$2
    until=$(awk -v s="$start" -v t="$STRETCH" 'BEGIN {print s + t}')
    read -r fps peak _ < <(measure --size "$size" --start "$start" --until "$until")
    count_until=$(awk -v s="$start" 'BEGIN {print s + 1}')
    read -r _ _ pix < <(measure --size "$size" --start "$start" --until "$count_until" --count-pixels)
    bound=$(awk -v r="$rate" -v p="$pix" 'BEGIN { if (p > 0) printf "%.0f", r / p; else print 0 }')
    share=$(awk -v f="$fps" -v b="$bound" 'BEGIN { if (b > 0) printf "%.2f", f / b; else print "-" }')
    split="- -"
    if [ "$size" = 800x600 ] && [ "$perf_ok" = 1 ]; then
      frames=$(awk -v t="$STRETCH" 'BEGIN {print int(t * 60)}')
      split=$(cpu_split "$start" "$until" "$frames")
    fi
    read -r sys standin <<<"${split:-- -}"
    printf '%-8s %-10s %8s %9s %9s %10s %8s %11s %12s\n' "$name" "$size" "$fps" "$peak" "$pix" "$bound" "$share" "${sys:--}" "${standin:--}"
  done
  echo "fill rate at $size: $rate Mpix/s of additive textured layers"
done

startups=()
for i in 1 2 3; do
  startups+=("$("$player" --headless --until 0 --stats 2>&1 | grep -oE 'first frame [0-9.]+' | awk '{print $3}' || true)")
done
echo "start-up to the first frame: ${startups[*]} s"

# Capture over each scene's stretch and --frames over the first scene's,
# against the headless speed over the same stretch. The encoder's work a frame
# is much the same in every scene, so the share is lowest where the scene
# itself renders fastest.
for entry in "${scenes[@]}"; do
  set -- $entry
  name=$1 start=$2
  span=(--start "$start" --until "$(awk -v s="$start" -v t="$STRETCH" 'BEGIN {print s + t}')")
  read -r headless _ _ < <(measure "${span[@]}")
  capture=$("$player" --capture "$work/bench.mp4" "${span[@]}" 2>&1 | grep -oE '[0-9.]+ frames a second' | awk '{print $1}' || true)
  awk -v n="$name" -v h="$headless" -v c="${capture:-0}" 'BEGIN {
    printf "%s headless %.1f fps; --capture %.1f fps (%.2f of it)\n", n, h, c, c / h }'
  if [ "$name" = scene1 ]; then
    frames=$("$player" --frames "$work/frames" "${span[@]}" 2>&1 | grep -oE '[0-9.]+ frames a second' | awk '{print $1}' || true)
    rm -rf "$work/frames"
    awk -v h="$headless" -v f="${frames:-0}" 'BEGIN { printf "scene1 --frames %.1f fps (%.2f of headless)\n", f, f / h }'
  fi
done

quality_costs
