#!/usr/bin/env bash
# Proof that the Debian package installs and works for an ordinary user: installs
# build/parvela_<version>_<arch>.deb into a scratch system, converts a generated sample there as a
# user who is not root, and checks that the MP4 is made, that the settings land in that user's
# ~/.config/parvela, and that nothing under /usr was written.
#
#   scripts/package-test.sh           dpkg --root into a scratch folder, run with this machine's
#                                     tools and libraries (seconds; part of scripts/test.sh)
#   scripts/package-test.sh --chroot  a fresh Debian 12 made by debootstrap (kept as a tarball in
#                                     build/package-test/ for the next run), in which apt-get
#                                     installs the package and pulls every dependency (minutes)
#
# Run as root; build the package first with scripts/package.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-root}
version=$(sed -n 's/^project(Parvela VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="$PWD/build/parvela_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "No $deb: run scripts/package.sh first" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "Run as root: the scratch system is installed with dpkg or apt-get" >&2; exit 1; }

scratch=$(mktemp -d -t parvela-package-test.XXXXXX)
chmod 0755 "$scratch"
root=$scratch/root
mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

if [ "$mode" = "--chroot" ]; then
  base=build/package-test/bookworm-minbase.tar
  mkdir -p "$root" build/package-test
  if [ ! -f "$base" ]; then
    echo "debootstrap: a minimal Debian 12 (cached in $base)"
    debootstrap --variant=minbase bookworm "$root" "${PARVELA_MIRROR:-http://deb.debian.org/debian}" >/dev/null
    tar -C "$root" -cf "$base" .
  else
    tar -C "$root" -xf "$base"
  fi
  for fs in proc dev dev/pts; do
    mount --bind "/$fs" "$root/$fs"
    mounted+=("$root/$fs")
  done
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  cp "$deb" "$root/tmp/"
  echo "apt-get install ./$(basename "$deb") in the fresh system"
  chroot "$root" apt-get -qq update
  chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get -y -qq --no-install-recommends \
    install "/tmp/$(basename "$deb")" >/dev/null
  chroot "$root" useradd --create-home --shell /bin/sh film
  home=/home/film  # as the user sees it
  as_user() { chroot --userspec=film:film "$root" env -i HOME=$home PATH=/usr/bin:/bin "$@"; }
  cli=parvela-cli  # found on the PATH
else
  echo "dpkg --root: the package in a scratch root, with this machine's tools and libraries"
  mkdir -p "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/info" "$root/home/film"
  touch "$root/var/lib/dpkg/status"
  # Without the tools' packages in the scratch root, dpkg lists each dependency it lacks.
  dpkg --root="$root" --force-depends -i "$deb" >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; exit 1; }
  chown nobody:nogroup "$root/home/film"
  home=$root/home/film
  as_user() { setpriv --reuid=nobody --regid=nogroup --clear-groups env -i HOME="$home" PATH=/usr/bin:/bin "$@"; }
  cli=$root/usr/bin/parvela-cli
fi
user_home=$root/home/film  # as this script sees it

for file in /usr/bin/parvela /usr/bin/parvela-cli /usr/share/applications/parvela.desktop \
  /usr/share/man/man1/parvela-cli.1.gz /usr/share/metainfo/org.parvela.Parvela.metainfo.xml; do
  [ -e "$root$file" ] || fail "$file is not installed"
done

# The sample of scripts/convert-sample.sh, smaller: H.264 High@5.1 and AC-3 5.1.
ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i "testsrc2=size=640x360:rate=24000/1001" \
  -f lavfi -i "sine=sample_rate=48000" -t 3 -c:v libx264 -preset veryfast -profile:v high -level 5.1 \
  -pix_fmt yuv420p -c:a ac3 -ac 6 "$user_home/film.mkv"
chmod 0644 "$user_home/film.mkv"

usr_before=$(find "$root/usr" -printf '%P %y %s %T@\n' | sort)
echo "parvela-cli -o ~/out ~/film.mkv, as an ordinary user"
as_user "$cli" --version
as_user mkdir "$home/out"  # an output folder must exist, as ever
as_user "$cli" -o "$home/out" "$home/film.mkv"

mp4=$user_home/out/film.mp4
[ -s "$mp4" ] || fail "no MP4 was made"
probe() { ffprobe -v error -select_streams "$1" -show_entries stream="$2" -of csv=p=0 "$mp4"; }
streams="$(probe v codec_name,level) $(probe a codec_name,channels)"
[ "$streams" = "h264,41 aac,2" ] || fail "the MP4 holds: $streams"
for file in parvela.conf debug.log parvela.lock; do
  [ -f "$user_home/.config/parvela/$file" ] || fail "no $file in the user's ~/.config/parvela"
done
[ "$(stat -c %U "$user_home/.config/parvela/parvela.conf")" != root ] || fail "the settings belong to root"
[ "$(find "$root/usr" -printf '%P %y %s %T@\n' | sort)" = "$usr_before" ] || fail "something under /usr changed"
echo "Package proof passed ($mode): the MP4 holds $streams; settings in ~/.config/parvela; /usr untouched"
