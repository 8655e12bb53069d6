#!/usr/bin/env bash
# Installs what is missing, builds Pelmora with its tests and runs every test
# under a private Xvfb display, then the Windows saver's tests under Wine
# (scripts/test-windows.sh; PELMORA_SKIP_WINDOWS=1 leaves them out).
# Everything the tests need is installed here, so a test whose X server,
# compositor, daemon or tool does not start fails, naming it, instead of
# skipping (tests/support/MissingServer.h).
#   scripts/test.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build}
shift || true

scripts/deps.sh test
export PELMORA_REQUIRE_SERVERS=1
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMORA_WERROR=ON "$@" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
(cd "$build_dir" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j "$(nproc)")

# The Windows saver, cross-built and run under Wine, with the plain build
# only (a sanitizer build of Linux says nothing new about it).
if [[ $# -eq 0 && ${PELMORA_SKIP_WINDOWS:-0} != 1 ]]; then
  scripts/test-windows.sh
fi
