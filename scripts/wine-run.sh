#!/usr/bin/env bash
# Runs a Windows program under wine, quietly, in the wine prefix given as the first argument
# (made on first use, without the Mono and Gecko installers). The Windows build's tests run
# through it (CTest's cross-compiling emulator).
#   wine-run.sh PREFIX PROGRAM [ARGS...]
#   wine-run.sh --display PREFIX PROGRAM [ARGS...]   on a display of its own (Xvfb), for windows
# A prefix used with --display must be used only so: wine's desktop takes the display of the
# first program of the prefix, so the prefix's programs are ended with the display.
set -euo pipefail
display=0
if [ "$1" = --display ]; then
  display=1
  shift
fi
export WINEPREFIX=$1
shift
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$display" = 0 ]; then
  exec wine "$@"
fi
exec xvfb-run -a -s "-nolisten tcp" bash -c 'status=0; wine "$@" || status=$?; wineserver -k 2>/dev/null || true; exit $status' wine-run "$@"
