#!/usr/bin/env bash
# Installs what is missing, builds the program alone (not the tests or the
# benchmarks) and starts Morvellan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh --target morvellan
exec ./build/morvellan
