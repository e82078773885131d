#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite (unit and end-to-end), then
# the unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
(cd build && ctest --output-on-failure -j"$(nproc)" "$@")

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DPARVELA_SANITIZE=ON >/dev/null
cmake --build build-sanitize -j"$(nproc)" --target parvela_unit_tests
(cd build-sanitize && ctest -L unit --output-on-failure -j"$(nproc)")
