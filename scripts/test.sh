#!/usr/bin/env bash
# Installs what is missing, builds everything (the program, the tests and
# the benchmarks) and runs the whole test suite. Every test
# runs in its own process on Qt's offscreen platform with a fresh preferences
# folder; no display is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j"$(nproc)" --timeout 120
