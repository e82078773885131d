#!/usr/bin/env bash
# Runs a Windows program under wine, quietly, in the wine prefix given as the first argument
# (made on first use, without the Mono and Gecko installers). The Windows build's tests run
# through it (CTest's cross-compiling emulator).
set -euo pipefail
export WINEPREFIX=$1
shift
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
