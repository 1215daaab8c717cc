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
  libcups2-dev cups printer-driver-cups-pdf
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
  # The print server is installed for its programs (the tests start their
  # own): the system's service is not started from here, where it may not
  # be able to run, and one that cannot start fails no installation.
  policy=/usr/sbin/policy-rc.d
  added_policy=
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy"
    chmod 755 "$policy"
    added_policy=yes
  fi
  status=0
  apt-get install -y -qq --no-install-recommends "${missing[@]}" || status=$?
  if [ -n "$added_policy" ]; then rm -f "$policy"; fi
  if [ "$status" -ne 0 ]; then exit "$status"; fi
fi
