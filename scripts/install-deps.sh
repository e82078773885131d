#!/usr/bin/env bash
# Installs the Debian 12 packages Parvela builds and runs with; quick when nothing is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  # Rebuilds of the four build folders (Linux, Windows, sanitizers, fuzz) reuse what is compiled.
  ccache
  libgtest-dev
  qt6-base-dev qt6-qpa-plugins
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  # a52dec: AC-3 decoding without loading libav's hundred libraries into Parvela itself.
  gstreamer1.0-plugins-ugly
  nlohmann-json3-dev
  mkvtoolnix ffmpeg mencoder faad soundstretch
  fonts-dejavu-core
  time
  xvfb xauth x11-utils
  # Hardening: libFuzzer (clang's runtime), and prlimit for the full-disk test.
  clang-14 libclang-rt-14-dev util-linux
  # The Debian package (scripts/package.sh) and its proof in a scratch root or a fresh system.
  dpkg-dev help2man lintian debootstrap
)

source "$(dirname "$0")/apt.sh"
apt_install "${packages[@]}" || { echo "Could not install the packages Parvela needs: $APT_ERROR" >&2; exit 1; }
