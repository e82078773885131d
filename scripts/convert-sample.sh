#!/usr/bin/env bash
# Makes a sample MKV with ffmpeg (H.264 High@5.1 with AC-3 5.1 sound, a few seconds), converts it
# with Parvela's command-line front end and shows what came out.
set -euo pipefail
cd "$(dirname "$0")/.."

# PARVELA_BUILD names another build folder than build/.
build=${PARVELA_BUILD:-build}
cli=$build/app/parvela-cli
if [ ! -x "$cli" ]; then
  echo "The command-line front end ($cli) is not built yet, so there is nothing to convert the sample with."
  exit 0
fi

work=$(mktemp -d -t parvela-sample.XXXXXX)
trap 'rm -rf "$work"' EXIT
out="$PWD/$build/sample/"
mkdir -p "$out"
sample="$work/sample.mkv"

echo "Making $sample: 1280x720 H.264 High@5.1 at 23.976 fps, AC-3 5.1, 6 seconds"
ffmpeg -nostdin -hide_banner -loglevel error -y \
  -f lavfi -i "testsrc2=size=1280x720:rate=24000/1001" \
  -f lavfi -i "aevalsrc=0.3*sin(2*PI*440*t)|0.3*sin(2*PI*550*t)|0.3*sin(2*PI*660*t)|0.2*sin(2*PI*110*t)|0.3*sin(2*PI*770*t)|0.3*sin(2*PI*880*t):s=48000:c=5.1" \
  -t 6 -c:v libx264 -preset veryfast -profile:v high -level 5.1 -pix_fmt yuv420p \
  -c:a ac3 -b:a 448k -metadata:s:a:0 language=eng "$sample"

echo "Converting with $cli -o $out $sample"
status=0
"$cli" -o "$out" "$sample" || status=$?

describe() {
  local file=$1 video audio
  video=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,profile,level -of csv=p=0 "$file" || true)
  audio=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,channels -of csv=p=0 "$file" || true)
  echo "  $file"
  if [ -n "$video" ]; then
    IFS=, read -r codec profile level <<<"$video"
    echo "    video: $codec, profile $profile, level $((level / 10)).$((level % 10))"
  fi
  if [ -n "$audio" ]; then
    IFS=, read -r codec channels <<<"$audio"
    echo "    audio: $codec, $channels channels"
  fi
}

echo "Produced in $out:"
found=0
for file in "$out"sample*; do
  [ -f "$file" ] || continue
  found=1
  describe "$file"
done
[ "$found" -eq 1 ] || echo "  nothing"
exit "$status"
