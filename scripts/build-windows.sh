#!/usr/bin/env bash
# Builds the 32-bit Windows program with Debian's mingw-w64 cross compiler into build-win32/,
# lays out its application folder (build-win32/app/) and zips it as build-win32/parvela-win32.zip.
# Installs what is missing first (as root, or with sudo): the cross compiler; wine, wine32 (the
# i386 architecture is added for it) and Xvfb to run the tests (see below when they cannot be); GoogleTest's sources and
# nlohmann's JSON headers for the build; zip and file.
set -euo pipefail
cd "$(dirname "$0")/.."

# A mirror out of sync (say) may keep packages from installing. Without the cross compiler
# nothing is built: exit status 75, and the last line of standard error says why. Without the
# 32-bit wine the program is built but its tests cannot run: build-win32/TESTS-NOT-RUN then holds
# the reason. scripts/test.sh reports either as not run.
source scripts/apt.sh
apt_install_opts=()
build_packages=(g++-mingw-w64-i686 zip file cmake make googletest nlohmann-json3-dev)
run_packages=(wine wine32 xvfb xauth)
if ! apt_install "${build_packages[@]}"; then
  echo "The Windows cross compiler could not be installed: $APT_ERROR" >&2
  exit 75
fi
mkdir -p build-win32
rm -f build-win32/TESTS-NOT-RUN
if [ -n "$(apt_missing "${run_packages[@]}")" ]; then
  dpkg --print-foreign-architectures | grep -qx i386 || $apt_sudo dpkg --add-architecture i386
  if ! apt_install "${run_packages[@]}"; then
    echo "The 32-bit wine could not be installed: $APT_ERROR" | tee build-win32/TESTS-NOT-RUN >&2
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
