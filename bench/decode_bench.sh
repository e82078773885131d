#!/usr/bin/env bash
# Times the decoding graph against ffmpeg on a generated 10-minute AC-3 5.1 track and prints
# the ratios graph time / ffmpeg time: once as a conversion runs it, with its once-a-second
# progress poll (which by design may go on for up to a second after the stream has ended),
# and once with a 10 ms poll, which times the decoding itself.
# Usage: bench/decode_bench.sh [BUILD_DIR] [RUNS]   (BUILD_DIR defaults to build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-3}"
driver="$build/bench/parvela-decode-bench"
[ -x "$driver" ] || cmake --build "$build" --target parvela-decode-bench >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
echo "Generating a 10-minute MKV with AC-3 5.1 audio..."
ffmpeg -nostdin -v error -y \
  -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=600" \
  -f lavfi -i "testsrc=size=160x120:rate=25:duration=600" \
  -filter_complex "[0:a]pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0[a]" \
  -map "[a]" -map 1:v -c:a ac3 -b:a 448k -c:v mpeg4 -q:v 10 "$work/source.mkv"

calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
seconds() { local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N); calc "$t1 - $t0"; }

graph_total=0
fine_total=0
ffmpeg_total=0
for i in $(seq "$runs"); do
  rm -f "$work/movie.wav"
  g=$("$driver" "$build/app" "$work/source.mkv" "$work")
  rm -f "$work/movie.wav"
  d=$("$driver" --fine-poll "$build/app" "$work/source.mkv" "$work")
  rm -f "$work/movie.wav"
  f=$(seconds ffmpeg -nostdin -v error -y -i "$work/source.mkv" -map 0:a:0 "$work/movie.wav")
  printf 'run %d: graph %.2f s (decoding %.2f s), ffmpeg %.2f s\n' "$i" "$g" "$d" "$f"
  graph_total=$(calc "$graph_total + $g")
  fine_total=$(calc "$fine_total + $d")
  ffmpeg_total=$(calc "$ffmpeg_total + $f")
done
printf 'ratio graph/ffmpeg with the one-second poll: %.2f\n' "$(calc "$graph_total / $ffmpeg_total")"
printf 'ratio graph/ffmpeg, decoding only:          %.2f\n' "$(calc "$fine_total / $ffmpeg_total")"
