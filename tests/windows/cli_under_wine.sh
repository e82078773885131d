#!/usr/bin/env bash
# parvela-cli.exe under wine on a generated MKV: the default MP4 road (level 4.1, stereo AAC)
# and --vob (a transport stream). The application folder holds the Windows front end and, under
# every tool's Windows name, the bridge that starts the Linux toolkit (which maps the
# drive-letter paths it is given back to Linux paths) and waits for it.
# Usage: cli_under_wine.sh WINE_RUN PREFIX WINDOWS_APP_DIR LINUX_APP_DIR BRIDGE_EXE
set -euo pipefail
wine_run=$1 prefix=$2 win_app=$3 linux_app=$4 bridge=$5
export PARVELA_LINUX_TOOLKIT=$linux_app/parvela-tools
[ -x "$linux_app/parvela-tools" ] || { echo "no Linux toolkit in $linux_app (build it with scripts/build.sh)"; exit 1; }

work=$(mktemp -d -t parvela-wine.XXXXXX)
trap 'rm -rf "$work"' EXIT
app=$work/app
mkdir -p "$app" "$work/out" "$work/vob"
cp "$win_app/parvela-cli.exe" "$app/"
cp -r "$win_app/avimux" "$app/"
# Every tool at its Windows path (the list the Linux build lays out), each the bridge.
(cd "$linux_app" && find . -name '*.exe' -type l) | while read -r tool; do
  mkdir -p "$app/$(dirname "$tool")"
  cp "$bridge" "$app/$tool"
done

ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=24000/1001 \
  -f lavfi -i sine=frequency=440:sample_rate=48000 -t 2 -map 0:v -map 1:a \
  -c:v libx264 -preset ultrafast -profile:v high -level 5.1 -pix_fmt yuv420p -c:a ac3 -ac 6 -b:a 384k \
  "$work/film.mkv"

windows() { echo "Z:${1//\//\\}"; }
convert() {  # OUTPUT_FOLDER [OPTIONS...]
  local out=$1
  shift
  "$wine_run" "$prefix" "$app/parvela-cli.exe" "$@" -o "$(windows "$out")\\" "$(windows "$work/film.mkv")"
}
stream() {  # FILE SELECTOR ENTRIES (a transport stream lists its streams again under its program)
  ffprobe -v error -select_streams "$2" -show_entries "stream=$3" -of csv=p=0 "$1" | sed -n 1p
}
fail() { echo "FAILED: $*"; exit 1; }

convert "$work/out"
mp4=$work/out/film.mp4
[ -s "$mp4" ] || fail "no MP4"
[ "$(stream "$mp4" v:0 codec_name,level)" = "h264,41" ] || fail "video: $(stream "$mp4" v:0 codec_name,level)"
[ "$(stream "$mp4" a:0 codec_name,channels)" = "aac,2" ] || fail "audio: $(stream "$mp4" a:0 codec_name,channels)"
[ -z "$(find "$work/out" -name 'movie.*')" ] || fail "temporary files left: $(ls "$work/out")"

convert "$work/vob" --vob
mpg=$work/vob/film.mpg
[ -s "$mpg" ] || fail "no transport stream"
[ "$(ffprobe -v error -show_entries format=format_name -of csv=p=0 "$mpg" | sed -n 1p)" = "mpegts" ] || fail "not a transport stream"
[ "$(stream "$mpg" v:0 codec_name,level)" = "h264,41" ] || fail "vob video: $(stream "$mpg" v:0 codec_name,level)"
[ "$(stream "$mpg" a:0 codec_name)" = "ac3" ] || fail "vob audio: $(stream "$mpg" a:0 codec_name)"
echo "MP4 and transport stream made under wine"
