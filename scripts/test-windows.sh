#!/usr/bin/env bash
# Cross-builds the Windows screen saver and runs its tests under wine64 on a
# private Xvfb display: the core, view and host tests, the program tests, the
# full-screen saver checked by screenshots, and the installer.
#   scripts/test-windows.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build-windows}
scripts/deps.sh test
scripts/build-windows.sh "$build_dir"
build_dir=$(cd "$build_dir" && pwd)

# The screen is exactly Wine's desktop, so that screenshots are all saver.
exec xvfb-run -a -s "-screen 0 1024x768x24" tests/win32/wine_tests.sh "$build_dir"
