#!/usr/bin/env bash
# Builds the 32-bit Windows program with Debian's mingw-w64 cross compiler into build-win32/,
# lays out its application folder (build-win32/app/) and zips it as build-win32/parvela-win32.zip.
# Installs what is missing first (as root, or with sudo): the cross compiler; wine, wine32 (the
# i386 architecture is added for it) and Xvfb to run the tests; GoogleTest's sources and
# nlohmann's JSON headers for the build; zip and file.
set -euo pipefail
cd "$(dirname "$0")/.."

# Exit status 75 when the cross compiler or wine cannot be installed (a mirror out of sync, say):
# the last line of standard error then says why, and scripts/test.sh reports the part as not run.
source scripts/apt.sh
apt_install_opts=()
packages=(g++-mingw-w64-i686 wine wine32 xvfb xauth zip file cmake make googletest nlohmann-json3-dev)
if [ -n "$(apt_missing "${packages[@]}")" ]; then
  dpkg --print-foreign-architectures | grep -qx i386 || $apt_sudo dpkg --add-architecture i386
  if ! apt_install "${packages[@]}"; then
    echo "The Windows toolchain could not be installed: $APT_ERROR" >&2
    exit 75
  fi
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
toolchain=()
[ -f build-win32/CMakeCache.txt ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-i686.cmake")
cmake -S . -B build-win32 "${toolchain[@]}" "${launcher[@]}" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" >/dev/null
cmake --build build-win32 -j"$(nproc)"

# Every program must be PE32 and need no DLL beyond Windows' own.
app=build-win32/app
windows_dlls='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|ole32|oleaut32|advapi32|msvcrt|psapi)\.dll$'
for program in "$app"/*.exe "$app"/*.dll "$app"/*.AX; do
  [ -e "$program" ] || continue
  file -b "$program" | grep -q '^PE32 ' || { echo "$program is not a PE32 file"; exit 1; }
  i686-w64-mingw32-objdump -p "$program" | sed -n 's/^\s*DLL Name: //p' | while read -r dll; do
    echo "${dll,,}" | grep -Eq "$windows_dlls" || { echo "$program needs $dll"; exit 1; }
  done
done

rm -f build-win32/parvela-win32.zip
items=()
for item in parvela.exe parvela-cli.exe FSFWrap.dll WAVDEST.AX avimux/parvela.amg TOOLS.txt; do
  [ -e "$app/$item" ] && items+=("$item")
done
(cd "$app" && zip -q -X ../parvela-win32.zip "${items[@]}")
echo "build-win32/parvela-win32.zip: ${items[*]}"
