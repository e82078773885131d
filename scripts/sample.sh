#!/usr/bin/env bash
# Installs what is missing, builds, makes a sample MKV with ffmpeg and converts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/build.sh
if [ ! -x build/app/parvela-cli ] || [ ! -e build/app/MKVToolnix/mkvinfo.exe ]; then
  echo "Built. The sample conversion needs the command-line front end and the tool folder."
  exit 0
fi
exec ./scripts/convert-sample.sh
