#!/usr/bin/env bash
# The Windows window under wine on a virtual display: starts build-win32/app/parvela.exe (build
# it with scripts/build-windows.sh) in a private copy of its folder with a generated sample MKV
# as its argument, and writes window-win32.png (default folder: build-win32/screenshots) once
# the conversion is done. The tools are the Linux toolkit of build/app behind the test bridge.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--on-display" ]; then
  out=$(realpath -m "${1:-build-win32/screenshots}")
  mkdir -p "$out"
  exec xvfb-run -a -s "-screen 0 1280x900x24 -nolisten tcp" "$0" --on-display "$out"
fi
out=$2
# The sample lies in /mnt/Films of a private mount namespace when one can be had, so the picture
# shows no folder of this machine.
films=""
if [ -n "${PARVELA_SHOT_NS:-}" ]; then
  mount -t tmpfs -o size=64m parvela-shot /mnt && films=/mnt/Films
elif [ "$(id -u)" -eq 0 ] && [[ "$out" != /mnt* ]] && unshare --mount true 2>/dev/null; then
  exec env PARVELA_SHOT_NS=1 unshare --mount --propagation private "$0" --on-display "$out"
fi
work=$(mktemp -d -t parvela-winshot.XXXXXX)
films=${films:-$work/Films}
# A wine prefix of its own: wine's desktop keeps the display of the prefix's first program, and
# a server of the test prefix would not see the private /mnt.
prefix=$work/wineprefix
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cp -a build-win32/app "$work/app"
rm -f "$work/app/parvela.conf" "$work/app/debug.log" "$work/app/info.txt" "$work/app/parvela.lock"
export PARVELA_LINUX_TOOLKIT=$PWD/build/app/parvela-tools
(cd build/app && find . -name '*.exe' -type l) | while read -r tool; do
  mkdir -p "$work/app/$(dirname "$tool")"
  cp build-win32/tests/parvela_wine_bridge.exe "$work/app/$tool"
done
mkdir -p "$films"
sample=$films/sample.mkv
ffmpeg -nostdin -hide_banner -loglevel error -y \
  -f lavfi -i "testsrc2=size=320x240:rate=24000/1001" -f lavfi -i "sine=frequency=440:sample_rate=48000" \
  -t 4 -map 0:v -map 1:a -c:v libx264 -preset veryfast -profile:v high -level 5.1 -pix_fmt yuv420p \
  -c:a ac3 -ac 6 -b:a 384k "$sample"
# The first run's output folder is D:\, which wine does not have: the settings send it beside the sample.
printf '\r\n\r\n\r\n%s\r\n 0 \r\n 1 \r\n\r\n\r\n-1 \r\n\r\n' "Z:${films//\//\\}\\" >"$work/app/parvela.conf"

if command -v openbox >/dev/null; then
  openbox >/dev/null 2>&1 &
  sleep 1
fi
./scripts/wine-run.sh "$prefix" "$work/app/parvela.exe" "Z:${sample//\//\\}" &

title="Parvela $(sed -n 's/^project(Parvela VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
info=""
for _ in $(seq 1 600); do
  info=$(xwininfo -name "$title" 2>/dev/null || true)
  grep -q "Map State: IsViewable" <<<"$info" && break
  sleep 0.1
done
grep -q "Map State: IsViewable" <<<"$info" || { echo "screenshot-windows.sh: the window did not appear" >&2; exit 1; }
sleep 3
info=$(xwininfo -name "$title")
x=$(awk '/Absolute upper-left X/ {print $NF}' <<<"$info")
y=$(awk '/Absolute upper-left Y/ {print $NF}' <<<"$info")
w=$(awk '/Width:/ {print $NF}' <<<"$info")
h=$(awk '/Height:/ {print $NF}' <<<"$info")
left=0 right=0 top=0 bottom=0
extents=$(xprop -name "$title" _NET_FRAME_EXTENTS 2>/dev/null | grep -oE '[0-9]+, [0-9]+, [0-9]+, [0-9]+' || true)
[ -n "$extents" ] && IFS=', ' read -r left right top bottom <<<"$extents"
ffmpeg -nostdin -hide_banner -loglevel error -y -f x11grab -draw_mouse 0 \
  -video_size "$((w + left + right))x$((h + top + bottom))" \
  -i "$DISPLAY+$((x - left)),$((y - top))" -frames:v 1 "$out/window-win32.png"
echo "Wrote $out/window-win32.png"
