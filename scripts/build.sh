#!/usr/bin/env bash
# Configures Morvellan in ./build and builds the targets named as arguments
# (e.g. --target morvellan), or without arguments everything: the program,
# its tests and its benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" "$@"
