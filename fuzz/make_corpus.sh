#!/usr/bin/env bash
# Seeds the fuzz corpora: the text seeds kept beside the targets, and the files the end-to-end
# tests make (a small generated MKV, its H.264 stream and, when the application folder is
# built, the mkvinfo report of it). Usage: make_corpus.sh CORPUS_DIR [APP_DIR]
set -euo pipefail
corpus=$1
app=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
for target in command_line report_parser settings level_patch h264_sps matroska_header ts_meta h264info_ini \
    mux_script; do
  mkdir -p "$corpus/$target"
done
for target in command_line report_parser settings ts_meta h264info_ini mux_script; do
  cp "$here/seeds/$target"/* "$corpus/$target/"
done
# Every input that once crashed a target stays in its corpus.
for folder in "$here"/regressions/*/; do
  cp "$folder"* "$corpus/$(basename "$folder")/"
done
[ -e "$corpus/.made" ] && exit 0

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
ff -f lavfi -i testsrc=size=320x240:rate=24000/1001:duration=1 -f lavfi -i sine=duration=1 \
  -c:v libx264 -profile:v high -level 5.1 -pix_fmt yuv420p -c:a ac3 "$work/avc_ac3.mkv"
ff -f lavfi -i testsrc=size=320x240:rate=25:duration=1 -f lavfi -i sine=duration=1 \
  -c:v mpeg2video -c:a aac "$work/mpeg2_aac.mkv"
ff -i "$work/avc_ac3.mkv" -map 0:v -c copy -bsf:v h264_mp4toannexb -f h264 "$work/movie.h264"

for mkv in "$work"/*.mkv; do
  name=$(basename "$mkv" .mkv)
  head -c 8192 "$mkv" > "$corpus/matroska_header/$name"
  if [ -x "$app/MKVToolnix/mkvinfo.exe" ]; then
    "$app/MKVToolnix/mkvinfo.exe" "$mkv" -o "$corpus/report_parser/$name.txt" 2>/dev/null || true
  fi
done
head -c 8192 "$work/movie.h264" > "$corpus/level_patch/movie.h264"
head -c 2048 "$work/movie.h264" > "$corpus/h264_sps/movie.h264"
touch "$corpus/.made"
