#!/usr/bin/env bash
# Times Parvela's default conversion (H.264 + AC-3 5.1 MKV to MP4 with level 4.1 video and
# stereo AAC) of a generated 20-minute 1080p source against the single ffmpeg command that does
# the same job, in alternating runs. Prints every run, the median ratio Parvela / ffmpeg, and
# the peak memory of the front end itself (and of the largest tool it ran, with GNU time).
# Usage: bench/mp4_road_bench.sh [BUILD_DIR] [RUNS]   (BUILD_DIR defaults to build, RUNS to 3;
#        BENCH_LOOPS=N makes the source N x 12 seconds instead of 100 x 12 for a quick try)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-3}"
loops="${BENCH_LOOPS:-100}"
cli="$build/app/parvela-cli"
if [ ! -x "$cli" ] || [ ! -e "$build/app/MP4Box/MP4Box.exe" ]; then
  echo "Build first: $cli and the tool folder $build/app are needed." >&2
  exit 1
fi

work="$(mktemp -d -t parvela-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
source="$work/source.mkv"

# A 12-second clip encoded once (noise keeps the bitrate near 8 Mbit/s, as a film's would be),
# then looped by stream copy: 20 minutes without 20 minutes of encoding.
echo "Generating a $((loops * 12 / 60))-minute 1080p H.264 High@5.1 + AC-3 5.1 source..."
ffmpeg -nostdin -v error -y \
  -f lavfi -i "testsrc2=size=1920x1080:rate=25,noise=alls=12:allf=t" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000" \
  -t 12 -filter_complex "[1:a]pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0[a]" -map 0:v -map "[a]" \
  -c:v libx264 -preset ultrafast -profile:v high -level 5.1 -pix_fmt yuv420p -b:v 8M -maxrate 10M -bufsize 10M \
  -c:a ac3 -b:a 448k "$work/clip.mkv"
ffmpeg -nostdin -v error -y -stream_loop $((loops - 1)) -i "$work/clip.mkv" -map 0 -c copy "$source"
echo "Source: $(du -h "$source" | cut -f1), $(ffprobe -v error -show_entries format=duration -of csv=p=0 "$source") s"

calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
now() { date +%s.%N; }

# The front end's own peak (VmHWM), sampled until it ends; its tools are separate processes.
watch_hwm() {
  local pid=$1 peak=0 kb
  while kill -0 "$pid" 2>/dev/null; do
    kb=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
    [ -n "$kb" ] && [ "$kb" -gt "$peak" ] && peak=$kb
    sleep 0.2
  done
  echo "$peak"
}

# The parvela-cli process started under `root` (GNU time may stand in between).
find_front() {
  local root=$1 p q
  while kill -0 "$root" 2>/dev/null; do
    for p in $(grep -lx parvela-cli /proc/[0-9]*/comm 2>/dev/null | cut -d/ -f3); do
      q=$p
      while [ "${q:-1}" -gt 1 ]; do
        [ "$q" = "$root" ] && { echo "$p"; return; }
        q=$(awk '/^PPid:/ { print $2 }' "/proc/$q/status" 2>/dev/null || echo 1)
      done
    done
    sleep 0.05
  done
}

run_parvela() {
  local out="$work/parvela/" t0 t1 pid timefile="$work/time.txt"
  rm -rf "$out" && mkdir -p "$out"
  t0=$(now)
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f "%M" -o "$timefile" "$cli" -o "$out" "$source" >/dev/null &
  else
    "$cli" -o "$out" "$source" >/dev/null &
  fi
  pid=$!
  local front; front=$(find_front "$pid")
  hwm=$(watch_hwm "${front:-$pid}")
  wait "$pid"
  t1=$(now)
  largest=$([ -f "$timefile" ] && cat "$timefile" || echo "?")
  [ -s "$out/source.mp4" ] || { echo "Parvela produced no MP4" >&2; exit 1; }
  parvela_seconds=$(calc "$t1 - $t0")
}

run_ffmpeg() {
  local out="$work/ffmpeg.mp4" t0 t1
  t0=$(now)
  ffmpeg -nostdin -v error -y -i "$source" -map 0:v:0 -map 0:a:0 \
    -c:v copy -bsf:v h264_metadata=level=4.1 -c:a aac -ac 2 -b:a 224k -movflags +faststart "$out"
  t1=$(now)
  ffmpeg_seconds=$(calc "$t1 - $t0")
}

ratios=()
for i in $(seq 1 "$runs"); do
  run_parvela
  run_ffmpeg
  ratio=$(calc "$parvela_seconds / $ffmpeg_seconds")
  ratios+=("$ratio")
  echo "run $i: Parvela ${parvela_seconds} s, ffmpeg ${ffmpeg_seconds} s, ratio $ratio;" \
       "peak memory: front end $((hwm / 1024)) MiB, largest process of the run ${largest} KiB"
done

median=$(printf '%s\n' "${ratios[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
echo "median ratio Parvela / ffmpeg: $median over $runs runs"
