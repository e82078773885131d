#!/usr/bin/env bash
# Builds build/parvela_<version>_amd64.deb: the installation of `cmake --install` (the
# application folder in /usr/lib/parvela, the commands in /usr/bin, menu entry, icons, metainfo,
# manual pages) with its binaries stripped, the Debian documentation, and a control file whose
# Depends names the libraries dpkg-shlibdeps finds and the packages of the tools Parvela drives.
# Then lintian checks it; an error fails the script.
#   PARVELA_MAINTAINER="Name <address>"   the Maintainer field (a placeholder by default)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh

version=$(sed -n 's/^project(Parvela VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
maintainer=${PARVELA_MAINTAINER:-Parvela developers <parvela@example.org>}
deb="build/parvela_${version}_${arch}.deb"
work=build/package
stage=$work/root
doc=$stage/usr/share/doc/parvela

# What Parvela runs or loads besides its own libraries: the tools behind the tool folder, the
# GStreamer elements of the decoding graph (matroskademux, ac3parse and dcaparse from -good,
# a52dec from -ugly, avdec_* from -libav, audioconvert from -base), the window's platform
# plugins, and the subtitle font the Mencoder folder links to.
tools="mkvtoolnix, ffmpeg, mencoder, faad, soundstretch, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good"
tools+=", gstreamer1.0-plugins-ugly, gstreamer1.0-libav, qt6-qpa-plugins, fonts-dejavu-core"

rm -rf "$work"
mkdir -p "$stage"
DESTDIR="$PWD/$stage" cmake --install build --prefix /usr >/dev/null

# Debian's layout: stripped binaries, compressed manual pages, relative links inside /usr.
elves=()
while IFS= read -r -d '' f; do
  [ "$(head -c4 "$f")" = $'\x7fELF' ] && elves+=("$f")
done < <(find "$stage/usr/lib/parvela" -type f -print0)
strip --strip-unneeded --remove-section=.comment --remove-section=.note "${elves[@]}"
find "$stage/usr/lib/parvela" -type f ! -perm -u+x -exec chmod 0644 {} +
chmod 0644 "$stage"/usr/lib/parvela/*.dll "$stage"/usr/lib/parvela/*.AX
gzip -9n "$stage"/usr/share/man/man1/*.1
font=$stage/usr/lib/parvela/Mencoder/font.ttf
target=$(readlink "$font")
ln -sfn "../../../${target#/usr/}" "$font"

mkdir -p "$doc"
cp packaging/copyright "$doc/copyright"
{
  echo "parvela ($version) unstable; urgency=medium"
  echo
  echo "  * Built from the source tree at $(git rev-parse --short HEAD 2>/dev/null || echo unknown)."
  echo
  echo " -- $maintainer  $(date -R -d "@${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}")"
} | gzip -9n > "$doc/changelog.gz"

# dpkg-shlibdeps wants a source package around the files it looks at.
mkdir -p "$work/src/debian"
printf 'Source: parvela\n\nPackage: parvela\nArchitecture: any\n' > "$work/src/debian/control"
shlibs=$(cd "$work/src" && dpkg-shlibdeps -O --warnings=1 "${elves[@]/#/$OLDPWD/}" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')

mkdir -p "$stage/DEBIAN"
cat > "$stage/DEBIAN/control" <<CONTROL
Package: parvela
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --exclude=DEBIAN "$stage" | cut -f1)
Depends: $shlibs, $tools
Section: video
Priority: optional
Description: convert Matroska films for the PlayStation 3 and the Xbox 360
 Parvela turns MKV films into files the media players of the PlayStation 3
 and the Xbox 360 accept: by default an MP4 with the source's own H.264 video,
 its level rewritten to 4.1, and stereo AAC audio; also PS3 transport streams,
 and MPEG-2, H.264 or Xvid re-encodes with burnt-in subtitles.
 .
 It drives mkvtoolnix, FFmpeg and mencoder, judges each step by the files it
 leaves, and tells whether each finished file plays on each console. The
 package holds the window (parvela) and the command line (parvela-cli); every
 user keeps his own settings and log in ~/.config/parvela.
CONTROL
(cd "$stage" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$stage/DEBIAN/md5sums"
chmod 0644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"

dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "Built $deb"
lintian --fail-on error "$deb"
