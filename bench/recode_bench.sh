#!/usr/bin/env bash
# Times Parvela's H.264 re-encoding (--recode h264: mencoder's x264 with Parvela's default x264
# options, then stereo AAC and the MP4) of a generated 2-minute 1080p H.264 + AC-3 5.1 source
# against one ffmpeg command with libx264 at the same x264 settings and bitrate and the same AAC,
# in alternating runs, and prints the median ratio Parvela / ffmpeg (target: at most 1.15).
# Usage: bench/recode_bench.sh [BUILD_DIR] [RUNS]   (BUILD_DIR defaults to build, RUNS to 3;
#        BENCH_SECONDS=N makes the source N seconds long instead of 120 for a quick try)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-3}"
seconds="${BENCH_SECONDS:-120}"
cli="$build/app/parvela-cli"
if [ ! -x "$cli" ] || [ ! -e "$build/app/Mencoder/Mencoder.exe" ]; then
  echo "Build first: $cli and the tool folder $build/app are needed." >&2
  exit 1
fi

work="$(mktemp -d -t parvela-recode-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
source="$work/source.mkv"
app="$work/app"
# A private copy of the application folder: the run's settings (the H.264 target) stay there.
cp -a "$build/app" "$app"
rm -f "$app/parvela.conf" "$app/parvela.lock"

# A 12-second clip (noise keeps the bitrate near a film's), looped by stream copy. libx264 writes
# its options into the stream, so Parvela re-encodes at the source's own 8000 kbit/s.
loops=$(( (seconds + 11) / 12 ))
echo "Generating a ${seconds}-second 1080p H.264 + AC-3 5.1 source..."
ffmpeg -nostdin -v error -y \
  -f lavfi -i "testsrc2=size=1920x1080:rate=24000/1001,noise=alls=12:allf=t" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000" \
  -t 12 -filter_complex "[1:a]pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0[a]" -map 0:v -map "[a]" \
  -c:v libx264 -preset ultrafast -profile:v high -pix_fmt yuv420p -b:v 8M -maxrate 10M -bufsize 10M \
  -c:a ac3 -b:a 448k "$work/clip.mkv"
ffmpeg -nostdin -v error -y -stream_loop $((loops - 1)) -i "$work/clip.mkv" -t "$seconds" -map 0 -c copy "$source"
echo "Source: $(du -h "$source" | cut -f1), $(ffprobe -v error -show_entries format=duration -of csv=p=0 "$source") s"

calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
now() { date +%s.%N; }

run_parvela() {
  local out="$work/parvela/" t0 t1
  rm -rf "$out" && mkdir -p "$out"
  t0=$(now)
  "$app/parvela-cli" --recode h264 -o "$out" "$source" >"$work/parvela.txt" 2>&1 || { cat "$work/parvela.txt" >&2; exit 1; }
  t1=$(now)
  [ -s "$out/source.mp4" ] || { echo "Parvela produced no MP4" >&2; exit 1; }
  parvela_seconds=$(calc "$t1 - $t0")
  verdict=$(tail -n 1 "$work/parvela.txt")
}

# Parvela's default x264 options, as x264 itself names them (mencoder passes them on: frameref=2,
# bframes=2, deblock, level=41, direct_pred=auto, partitions=p8x8,b8x8, me=hex, me_range=16,
# subq=5, chroma_me, mixed_refs, trellis=1, weight_b, b_pyramid, nr=0), at the same bitrate.
# Parvela's runner starts every tool at nice 10; the one-liner runs at the same priority.
x264_params="ref=2:bframes=2:level=4.1:direct=auto:partitions=p8x8,b8x8:me=hex:merange=16:subme=5:chroma-me=1:mixed-refs=1:trellis=1:weightb=1:b-pyramid=normal:nr=0"
run_ffmpeg() {
  local out="$work/ffmpeg.mp4" t0 t1
  t0=$(now)
  nice -n 10 ffmpeg -nostdin -v error -y -i "$source" -map 0:v:0 -map 0:a:0 \
    -c:v libx264 -b:v 8000k -x264-params "$x264_params" -r 24000/1001 \
    -c:a aac -ac 2 -b:a 224k -movflags +faststart "$out"
  t1=$(now)
  ffmpeg_seconds=$(calc "$t1 - $t0")
}

echo "load before: $(uptime)"
ratios=()
for i in $(seq 1 "$runs"); do
  run_parvela
  run_ffmpeg
  ratio=$(calc "$parvela_seconds / $ffmpeg_seconds")
  ratios+=("$ratio")
  echo "run $i: Parvela ${parvela_seconds} s ($verdict), ffmpeg ${ffmpeg_seconds} s, ratio $ratio"
done
median=$(printf '%s\n' "${ratios[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
echo "median ratio Parvela / ffmpeg: $median over $runs runs"
echo "load after: $(uptime)"
