#!/usr/bin/env bash
# Screenshots of the window on a virtual X display (Xvfb): once as it opens with no source, once
# after a generated sample MKV was given on the command line (converted before the window
# appears, so its tracks are filled in), then with a folder given: the small progress window
# while a long film's audio is encoded (bar, time left, Stop), and the window with the batch's
# summary. Writes window-empty.png, window-source.png, window-converting.png and
# window-batch.png into the folder given (default build/screenshots).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--on-display" ]; then
  out=$(realpath -m "${1:-build/screenshots}")
  ./scripts/install-deps.sh
  # A small window manager, so the pictures show the title bar as a desktop would.
  if ! command -v openbox >/dev/null; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends openbox
  fi
  ./scripts/build.sh
  mkdir -p "$out"
  exec xvfb-run -a -s "-screen 0 1280x900x24 -nolisten tcp" "$0" --on-display "$out"
fi
out=$2
build=${PARVELA_BUILD:-build}

# The pictures show the paths of the sample: as root, the films lie in /mnt/Films of a mount
# namespace of their own (an empty tmpfs that no other process sees), so that no folder of this
# machine shows up in them.
films=""
if [ -n "${PARVELA_SHOT_NS:-}" ]; then
  mount -t tmpfs -o size=512m parvela-shot /mnt && films=/mnt/Films
elif [ "$(id -u)" -eq 0 ] && [[ "$out" != /mnt* ]] && unshare --mount true 2>/dev/null; then
  exec env PARVELA_SHOT_NS=1 unshare --mount --propagation private "$0" --on-display "$out"
fi

# A copy of the application folder, so that the screenshots neither read nor change the
# settings of the real one.
work=$(mktemp -d -t parvela-shot.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cp -a "$build/app" "$work/app"
rm -f "$work/app/parvela.conf" "$work/app/debug.log" "$work/app/info.txt"
[ -n "$films" ] || films="$work/Films"
export HOME="$films"
mkdir -p "$films"

sample="$films/Holiday.mkv"
printf '1\r\n00:00:00,500 --> 00:00:03,000\r\nHello\r\n' >"$work/subs.srt"
ffmpeg -nostdin -hide_banner -loglevel error -y \
  -f lavfi -i "testsrc2=size=320x240:rate=24000/1001" \
  -f lavfi -i "aevalsrc=0.3*sin(2*PI*440*t)|0.3*sin(2*PI*550*t)|0.3*sin(2*PI*660*t)|0.2*sin(2*PI*110*t)|0.3*sin(2*PI*770*t)|0.3*sin(2*PI*880*t):s=48000:c=5.1" \
  -i "$work/subs.srt" -map 0:v -map 1:a -map 2:s -t 4 \
  -c:v libx264 -preset veryfast -profile:v high -level 5.1 -pix_fmt yuv420p \
  -c:a ac3 -b:a 448k -c:s srt -metadata:s:a:0 language=eng -metadata:s:s:0 language=eng "$sample"

# Waits for the window, lets it paint, and grabs its area of the screen with the frame the
# window manager put around it.
shoot() {
  local png=$1 name=${2:-Parvela 0.23} info="" i
  for i in $(seq 1 1200); do
    info=$(xwininfo -name "$name" 2>/dev/null || true)
    grep -q "Map State: IsViewable" <<<"$info" && break
    sleep 0.1
  done
  if ! grep -q "Map State: IsViewable" <<<"$info"; then
    echo "screenshot.sh: the window did not appear" >&2
    return 1
  fi
  sleep 1
  info=$(xwininfo -name "$name")
  local x y w h left=0 right=0 top=0 bottom=0 extents
  x=$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")
  y=$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")
  w=$(awk '/Width:/ {print $NF}' <<<"$info")
  h=$(awk '/Height:/ {print $NF}' <<<"$info")
  extents=$(xprop -name "$name" _NET_FRAME_EXTENTS 2>/dev/null | grep -oE '[0-9]+, [0-9]+, [0-9]+, [0-9]+' || true)
  [ -n "$extents" ] && IFS=', ' read -r left right top bottom <<<"$extents"
  ffmpeg -nostdin -hide_banner -loglevel error -y -f x11grab -draw_mouse 0 \
    -video_size "$((w + left + right))x$((h + top + bottom))" \
    -i "$DISPLAY+$((x - left)),$((y - top))" -frames:v 1 "$png"
  echo "Wrote $png"
}

if command -v openbox >/dev/null; then
  openbox >/dev/null 2>&1 &
  sleep 1
fi

"$work/app/parvela" &
pid=$!
shoot "$out/window-empty.png"
kill $pid; wait $pid 2>/dev/null || true

# The second start converts the sample into the output folder the first one would have used.
"$work/app/parvela" "$sample" &
pid=$!
shoot "$out/window-source.png"
kill $pid; wait $pid 2>/dev/null || true

# A folder: the sample again (converted already, so skipped) and a ten-minute stereo film whose
# audio encode runs long enough for the bar to tell the time left (its WAV, 115 MB, fits the
# folder's 512 MB).
series="$films/Series"
mkdir -p "$series"
cp "$sample" "$series/Holiday.mkv"
ffmpeg -nostdin -hide_banner -loglevel error -y \
  -f lavfi -i "testsrc2=size=160x90:rate=25" \
  -f lavfi -i "aevalsrc=0.3*sin(2*PI*440*t)|0.3*sin(2*PI*550*t):s=48000:c=stereo" \
  -map 0:v -map 1:a -t 600 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a ac3 -b:a 448k \
  "$series/Long Film.mkv"
"$work/app/parvela" "$series" &
pid=$!
# The audio encode has begun once its pieces (or its output) appear in the output folder.
for i in $(seq 1 1200); do
  compgen -G "$films/movie.aac*" >/dev/null && break
  sleep 0.1
done
sleep 4
shoot "$out/window-converting.png" "Parvela 0.23 — converting"
shoot "$out/window-batch.png"
kill $pid; wait $pid 2>/dev/null || true
