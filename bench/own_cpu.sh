#!/usr/bin/env bash
# Measures Parvela's own CPU time for one conversion of a long source (two hours by default):
# inspection parsing, level patch, settings and clean-up, without the tools it runs. The
# front end reports its own share with -v. "Safe Sync" keeps the audio decoding out of the
# process, so the figure is Parvela's alone; the default road's figure adds the in-process
# decoding graph, which is the decoder's work.
# Usage: bench/own_cpu.sh [BUILD_DIR] [SECONDS]   (ROADS=--safe-sync measures that road alone)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
seconds="${2:-7200}"
cli="$build/app/parvela-cli"
[ -x "$cli" ] || { echo "build first: $cli is missing" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
echo "Generating a ${seconds}-second H.264 + AC-3 source (a one-second clip looped)..."
ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=320x180:rate=24000/1001 \
  -f lavfi -i sine=frequency=440:sample_rate=48000 -t 1 -map 0:v -map 1:a \
  -c:v libx264 -preset ultrafast -profile:v high -level 5.1 -pix_fmt yuv420p -c:a ac3 -b:a 128k \
  "$work/clip.mkv"
ffmpeg -nostdin -v error -y -stream_loop $((seconds - 1)) -i "$work/clip.mkv" -c copy "$work/source.mkv"
ls -l "$work/source.mkv" | awk '{ printf "source: %.0f MB\n", $5 / 1e6 }'

# A private copy of the application folder keeps the build's settings and log untouched.
cp -a "$build/app" "$work/app"
for road in ${ROADS:-"--safe-sync" ""}; do
  rm -rf "$work/out" && mkdir "$work/out"
  report=$("$work/app/parvela-cli" -v $road -o "$work/out" "$work/source.mkv" 2>&1 >/dev/null | grep "own CPU")
  echo "${road:-default road}: ${report#parvela-cli: }"
done
