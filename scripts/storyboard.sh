#!/usr/bin/env bash
# Makes docs/storyboard.png, the README's picture of the show: twelve frames
# (two or three of each scene) from one headless run, four to a row, each
# captioned with its music time. Needs the build and Data/ (scripts/setup.sh).
#   scripts/storyboard.sh [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."

output=${1:-docs/storyboard.png}
times=(17 25 43 60 80 110 112 126 140 150 172 196)
[ -x build/bralmond ] && [ -d Data ] || scripts/setup.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
list=$(IFS=,; echo "${times[*]}")
build/bralmond --headless --fps 30 --until "$((${times[-1]} + 1))" --shots "$list" --out "$work"

inputs=()
filters=""
for i in "${!times[@]}"; do
  inputs+=(-i "$work/shot-${times[$i]}.png")
  filters+="[$i:v]scale=320:240,drawtext=fontfile=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf:text='${times[$i]} s':x=8:y=8:fontsize=18:fontcolor=white:box=1:boxcolor=black@0.5[f$i];"
done
for i in "${!times[@]}"; do filters+="[f$i]"; done
filters+="xstack=inputs=${#times[@]}:layout=0_0|w0_0|w0+w1_0|w0+w1+w2_0|0_h0|w0_h0|w0+w1_h0|w0+w1+w2_h0|0_h0+h4|w0_h0+h4|w0+w1_h0+h4|w0+w1+w2_h0+h4"
mkdir -p "$(dirname "$output")"
ffmpeg -loglevel error -y "${inputs[@]}" -filter_complex "$filters" -frames:v 1 "$output"
echo "wrote $output"
