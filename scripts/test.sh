#!/usr/bin/env bash
# Installs what is missing, builds Pelmora with its tests and runs every test
# under a private Xvfb display.
#   scripts/test.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build}
shift || true

scripts/deps.sh test
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMORA_WERROR=ON "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
cd "$build_dir"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j "$(nproc)"
