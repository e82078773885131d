#!/usr/bin/env bash
# The Windows window under wine on a virtual display: starts build-win32/app/parvela.exe (build
# it with scripts/build-windows.sh) in a private copy of its folder and writes
# window-win32.png (default folder: build-win32/screenshots).
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" != "--on-display" ]; then
  out=$(realpath -m "${1:-build-win32/screenshots}")
  mkdir -p "$out"
  exec xvfb-run -a -s "-screen 0 1280x900x24 -nolisten tcp" "$0" --on-display "$out"
fi
out=$2
work=$(mktemp -d -t parvela-winshot.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cp -a build-win32/app "$work/app"
rm -f "$work/app/parvela.conf" "$work/app/debug.log" "$work/app/info.txt" "$work/app/parvela.lock"

if command -v openbox >/dev/null; then
  openbox >/dev/null 2>&1 &
  sleep 1
fi
./scripts/wine-run.sh "$PWD/build-win32/wineprefix" "$work/app/parvela.exe" &

title="Parvela $(sed -n 's/^project(Parvela VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
info=""
for _ in $(seq 1 600); do
  info=$(xwininfo -name "$title" 2>/dev/null || true)
  grep -q "Map State: IsViewable" <<<"$info" && break
  sleep 0.1
done
grep -q "Map State: IsViewable" <<<"$info" || { echo "screenshot-windows.sh: the window did not appear" >&2; exit 1; }
sleep 2
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
