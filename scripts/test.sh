#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite (unit and end-to-end), then
# builds the Debian package and proves it, then the 32-bit Windows build's tests under wine
# (build-win32/), then the whole suite once more under AddressSanitizer and
# UndefinedBehaviorSanitizer, then every fuzz target briefly (clang, a build folder of its own).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
jobs=$(nproc)
(cd build && ctest --output-on-failure -j"$jobs" "$@")

# The Debian package, and its proof in a scratch root as an ordinary user (seconds; the proof in
# a fresh Debian, scripts/package-test.sh --chroot, takes minutes and the network: run by hand).
./scripts/package.sh
./scripts/package-test.sh

# The Windows side: cross-built, its unit tests and parvela-cli.exe under wine.
./scripts/build-windows.sh
(cd build-win32 && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPARVELA_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j"$jobs"
export LSAN_OPTIONS="suppressions=$PWD/scripts/sanitizer.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-sanitize && ctest -L 'unit|e2e' --output-on-failure -j"$jobs")

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 -DPARVELA_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$jobs"
(cd build-fuzz && ctest -L fuzz --output-on-failure -j"$jobs")
