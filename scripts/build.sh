#!/usr/bin/env bash
# Configures and builds Parvela into build/ (the application folder is build/app/).
# Extra arguments go to CMake's configure step; ccache is used where it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
folder=${BUILD_FOLDER:-build}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "${launcher[@]}" "$@" >/dev/null
cmake --build "$folder" -j"$(nproc)"
