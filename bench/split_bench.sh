#!/usr/bin/env bash
# The real split: a generated H.264 + AC-3 source above 4.19 GB converted with default options
# ("Split > 4GB ?" on), which must give one MP4 per piece, each at level 4.1 with stereo AAC,
# leave no folder of the run behind and not touch a "split" folder the user already has.
# Prints the time of the conversion and what it made; removes every big file at the end.
# Usage: bench/split_bench.sh [BUILD_DIR]   (BUILD_DIR defaults to build;
#        SPLIT_BENCH_GB=N sets the source size in GB, 4.5 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
target_gb="${SPLIT_BENCH_GB:-4.5}"
if [ ! -x "$build/app/parvela-cli" ] || [ ! -e "$build/app/MKVToolnix/mkvmerge.exe" ]; then
  echo "Build first: $build/app/parvela-cli and the tool folder $build/app are needed." >&2
  exit 1
fi

work="$(mktemp -d -t parvela-split-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
target_bytes=$(awk "BEGIN { printf \"%.0f\", $target_gb * 1000000000 }")
need=$((target_bytes * 4 + 2000000000))  # source, pieces, one piece's temporary stream, outputs
free=$(( $(df -P -B1 "$work" | awk 'NR == 2 { print $4 }') ))
if [ "$free" -lt "$need" ]; then
  echo "Not enough room in $work: $((need / 1000000000)) GB needed, $((free / 1000000000)) GB free." >&2
  exit 1
fi

# A private application folder with the default settings.
cp -a "$build/app" "$work/app"
rm -f "$work/app/parvela.conf" "$work/app/debug.log"

# A 10-second clip at a film's peak bitrate and more (noise keeps it near 150 Mbit/s), appended
# to itself by mkvmerge: gigabytes without encoding them. (ffmpeg's -stream_loop stops early on
# a clip this size.)
echo "Generating a ${target_gb} GB 1080p H.264 High@5.1 + AC-3 5.1 source..."
ffmpeg -nostdin -v error -y \
  -f lavfi -i "testsrc2=size=1920x1080:rate=24000/1001,noise=alls=30:allf=t" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000" \
  -t 10 -filter_complex "[1:a]pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0[a]" -map 0:v -map "[a]" \
  -c:v libx264 -preset ultrafast -profile:v high -level 5.1 -pix_fmt yuv420p -b:v 150M -maxrate 150M -bufsize 150M \
  -c:a ac3 -b:a 448k "$work/clip.mkv"
clip=$(stat -c %s "$work/clip.mkv")
loops=$(( (target_bytes + clip - 1) / clip ))
source="$work/in/Big Film.mkv"
mkdir -p "$work/in"
appends=("$work/clip.mkv")
for _ in $(seq 2 "$loops"); do appends+=(+ "$work/clip.mkv"); done
mkvmerge -q -o "$source" "${appends[@]}"
rm -f "$work/clip.mkv"
size=$(stat -c %s "$source")
echo "Source: $size bytes, $(ffprobe -v error -show_entries format=duration -of csv=p=0 "$source") s"
if [ "$size" -lt 4190000000 ]; then
  echo "The source came out below the split threshold (4190000000 bytes)." >&2
  exit 1
fi

out="$work/out"
mkdir -p "$out/split"
echo "the user's own" > "$out/split/keep.txt"

t0=$(date +%s.%N)
status=0
HOME="$work" "$work/app/parvela-cli" -o "$out" "$source" > "$work/progress.txt" 2> "$work/errors.txt" || status=$?
t1=$(date +%s.%N)
echo "parvela-cli exit status $status, $(awk "BEGIN { printf \"%.1f\", $t1 - $t0 }") s"
echo "Progress texts: $(grep -v ' seconds of Audio :' "$work/progress.txt" | paste -sd '|' -)"
[ -s "$work/errors.txt" ] && { echo "Messages:"; cat "$work/errors.txt"; }

failed=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi; }
probe() { ffprobe -v error -select_streams "$2" -show_entries stream="$3" -of csv=p=0 "$1"; }
check "parvela-cli ended without an error message" '[ "$status" -eq 0 ]'
mapfile -t mp4s < <(find "$out" -maxdepth 1 -name '*.mp4' | sort)
check "two MP4 outputs (${mp4s[*]##*/})" '[ "${#mp4s[@]}" -eq 2 ]'
for mp4 in "${mp4s[@]}"; do
  name=${mp4##*/}
  echo "$name: $(stat -c %s "$mp4") bytes, $(ffprobe -v error -show_entries format=duration -of csv=p=0 "$mp4") s"
  check "$name video is H.264 at level 4.1" '[ "$(probe "$mp4" v:0 codec_name,level)" = "h264,41" ]'
  check "$name audio is stereo AAC" '[ "$(probe "$mp4" a:0 codec_name,channels)" = "aac,2" ]'
done
check "no folder of the run remains" '[ -z "$(find "$out" -mindepth 1 -maxdepth 1 -type d ! -name split)" ]'
check "the user's split folder is untouched" '[ "$(ls -A "$out/split")" = keep.txt ] && [ "$(cat "$out/split/keep.txt")" = "the user'"'"'s own" ]'
check "nothing else is left in the output folder" '[ "$(find "$out" -mindepth 1 -maxdepth 1 | wc -l)" -eq 3 ]'
exit "$failed"
