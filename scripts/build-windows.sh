#!/usr/bin/env bash
# Cross-builds the Windows screen saver (pelmora.scr), its tests, the zip and
# the installer with mingw-w64 and NSIS.
#   scripts/build-windows.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build-windows}
shift || true

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMORA_WERROR=ON -DPELMORA_BUILD_BENCH=OFF -DPELMORA_USE_HIGHWAY=OFF \
  "${launcher[@]}" "$@" >/dev/null
cmake --build "$build_dir" -j "${PELMORA_JOBS:-$(nproc)}"
