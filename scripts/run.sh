#!/usr/bin/env bash
# Installs what is missing, builds Pelmora and runs it: in a window when there
# is a display, otherwise it records a short clip and says where it went.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target pelmora

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec build/src/app/pelmora "$@"
fi

output=pelmora-clip
if command -v ffmpeg >/dev/null; then
  output=pelmora-clip.mp4
fi
echo "No display: recording 300 frames to $output instead." >&2
build/src/app/pelmora record --frames 300 --force --output "$output"
echo "Recorded: $(pwd)/$output" >&2
