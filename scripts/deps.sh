#!/usr/bin/env bash
# Installs, from Debian 12's packages, whatever the build, the tests and the
# benchmarks need and this machine lacks. Run as root; does nothing when all
# of it is present.
set -euo pipefail
packages=(
  cmake make g++ pkg-config
  qt6-base-dev libgl-dev libxcb1-dev
  libqt6svg6
  libcurl4-openssl-dev
  libgtest-dev zlib1g-dev
  fonts-liberation
  desktop-file-utils
  poppler-utils
  xvfb openbox xdotool
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
