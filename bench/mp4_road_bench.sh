#!/usr/bin/env bash
# Times Parvela's default conversion (H.264 + AC-3 5.1 MKV to MP4 with level 4.1 video and
# stereo AAC) of a generated 20-minute 1080p source against the single ffmpeg command that does
# the same job, in alternating runs. Prints the machine's load, every run, the median ratio
# Parvela / ffmpeg, the peak memory of the front end itself (and of the largest tool it ran, with
# GNU time), and for the first run the time of each progress step, beside a stream copy of the video alone (what "Creating MP4" is measured against).
# Usage: bench/mp4_road_bench.sh [BUILD_DIR] [RUNS]   (BUILD_DIR defaults to build, RUNS to 5;
#        BENCH_LOOPS=N makes the source N x 12 seconds instead of 100 x 12 for a quick try;
#        BENCH_BEFORE=OTHER_BUILD_DIR converts with that build too in every run, before the
#        others, to compare two versions on the same machine at the same time)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
runs="${2:-5}"
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

# Each progress line of the front end, with the time it came.
stamp_lines() {
  local line
  while IFS= read -r line; do echo "$(now) $line"; done
}

# One line per step: the time from its progress text to the next one (the audio counter's
# lines belong to the step they count in).
print_steps() {
  local start=$1 end=$2
  # The decoding counter names its step "Extracting N seconds of Audio :...": one step for all.
  awk -v start="$start" -v end="$end" '
    { t[NR] = $1; $1 = ""; text[NR] = substr($0, 2) }
    END {
      prev = start; name = "start-up (reading the source)"
      for (i = 1; i <= NR; i++) {
        counter = text[i] ~ / seconds of Audio :/
        if (counter && counting) continue
        counting = counter
        if (counter) text[i] = "decoding graph (" substr(text[i], 1, index(text[i], " :") - 1) ")"
        printf "  %-40s %7.2f s\n", name, t[i] - prev; prev = t[i]; name = text[i]
      }
      printf "  %-40s %7.2f s\n", name, end - prev
    }' "$work/steps.txt"
}

run_parvela() {
  local out="$work/parvela/" t0 t1 pid timefile="$work/time.txt" cli="${cli_override:-$cli}"
  rm -rf "$out" && mkdir -p "$out"
  t0=$(now)
  if [ -x /usr/bin/time ]; then
    ( /usr/bin/time -f "%M" -o "$timefile" "$cli" -o "$out" "$source" 2>"$work/stderr.txt" \
      | stamp_lines >"$work/steps.txt" ) &
  else
    ( "$cli" -o "$out" "$source" 2>"$work/stderr.txt" | stamp_lines >"$work/steps.txt" ) &
  fi
  pid=$!
  local front; front=$(find_front "$pid")
  hwm=$(watch_hwm "${front:-$pid}")
  wait "$pid"
  t1=$(now)
  largest=$([ -f "$timefile" ] && cat "$timefile" || echo "?")
  [ -s "$out/source.mp4" ] || { echo "Parvela produced no MP4" >&2; exit 1; }
  parvela_seconds=$(calc "$t1 - $t0")
  # "Creating MP4" of every run: from its line to the next one.
  mp4_seconds=$(awk '/Creating MP4/ { t = $1; next } t && !d { d = $1 - t } END { printf "%.2f", d }' "$work/steps.txt")
  if [ "${1:-}" = steps ]; then
    echo "steps of run 1 (Parvela's own CPU time: bench/own_cpu.sh):"
    print_steps "$t0" "$t1"
  fi
}

# Parvela's runner starts every tool at nice 10; the one-liner runs at the same priority, so that
# on a busy machine both compete for the processors alike (BENCH_FFMPEG_NICE=0: normal priority).
ffmpeg_nice="${BENCH_FFMPEG_NICE:-10}"
run_ffmpeg() {
  local out="$work/ffmpeg.mp4" t0 t1
  t0=$(now)
  nice -n "$ffmpeg_nice" ffmpeg -nostdin -v error -y -i "$source" -map 0:v:0 -map 0:a:0 \
    -c:v copy -bsf:v h264_metadata=level=4.1 -c:a aac -ac 2 -b:a 224k -movflags +faststart "$out"
  t1=$(now)
  ffmpeg_seconds=$(calc "$t1 - $t0")
}

# The video alone, copied to MP4 with the level patch: the floor for "Creating MP4".
run_copy() {
  local t0 t1
  t0=$(now)
  nice -n "$ffmpeg_nice" ffmpeg -nostdin -v error -y -i "$source" -map 0:v:0 -c:v copy -bsf:v h264_metadata=level=4.1 \
    -movflags +faststart "$work/copy.mp4"
  t1=$(now)
  rm -f "$work/copy.mp4"
  echo "stream copy of the video alone: $(calc "$t1 - $t0") s"
}

echo "load before: $(uptime); the one-liner runs at nice $ffmpeg_nice"
echo "toolkit: PARVELA_AAC_PIECES=${PARVELA_AAC_PIECES:-one per core} PARVELA_MP4BOX_WRAP=${PARVELA_MP4BOX_WRAP:-0}"
ratios=()
before="${BENCH_BEFORE:-}"
if [ -n "$before" ] && [ ! -x "$before/app/parvela-cli" ]; then
  echo "BENCH_BEFORE: $before/app/parvela-cli is missing" >&2
  exit 1
fi
before_ratios=()
for i in $(seq 1 "$runs"); do
  if [ -n "$before" ]; then
    if [ "$i" = 1 ]; then echo "before ($before):"; cli_override="$before/app/parvela-cli" run_parvela steps
    else cli_override="$before/app/parvela-cli" run_parvela; fi
    before_seconds=$parvela_seconds
    before_mp4=$mp4_seconds
  fi
  if [ "$i" = 1 ]; then run_parvela steps; else run_parvela; fi
  run_ffmpeg
  ratio=$(calc "$parvela_seconds / $ffmpeg_seconds")
  ratios+=("$ratio")
  echo "run $i: Parvela ${parvela_seconds} s (Creating MP4 ${mp4_seconds} s), ffmpeg ${ffmpeg_seconds} s, ratio $ratio;" \
       "peak memory: front end $((hwm / 1024)) MiB, largest process of the run ${largest} KiB"
  if [ -n "$before" ]; then
    before_ratios+=("$(calc "$before_seconds / $ffmpeg_seconds")")
    echo "       before: ${before_seconds} s (Creating MP4 ${before_mp4} s), ratio ${before_ratios[-1]}"
  fi
done

median=$(printf '%s\n' "${ratios[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
echo "median ratio Parvela / ffmpeg: $median over $runs runs"
if [ -n "$before" ]; then
  echo "median ratio before / ffmpeg: $(printf '%s\n' "${before_ratios[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')"
fi
run_copy
echo "load after: $(uptime)"
