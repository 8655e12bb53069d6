#!/usr/bin/env bash
# Builds the fuzzers with Clang under AddressSanitizer and UndefinedBehavior-
# Sanitizer and runs each for a fixed time on its seed corpus. Any crash,
# leak, timeout or sanitizer report fails the run.
#   fuzz/run.sh [seconds per target, default 30] [build dir, default build-fuzz]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
build_dir=${2:-build-fuzz}

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMORA_FUZZ=ON \
  -DPELMORA_SANITIZE=ON -DPELMORA_BUILD_TESTS=OFF -DPELMORA_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target settings_file_fuzzer setting_text_fuzzer command_line_fuzzer

# The settings target saves a file per input; on a memory file system the
# saves' fsync costs nothing.
if [[ -z ${TMPDIR:-} && -w /dev/shm ]]; then
  export TMPDIR=/dev/shm
fi
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in settings_file setting_text command_line; do
  echo "== ${target}_fuzzer for ${seconds} s =="
  # New inputs go to a scratch corpus; the seeds in the tree stay as they are.
  scratch=$(mktemp -d)
  artifacts="$build_dir/fuzz-artifacts/$target/"
  mkdir -p "$artifacts"
  if ! "$build_dir/fuzz/${target}_fuzzer" "$scratch" "fuzz/corpus/$target" -dict="fuzz/$target.dict" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
      -artifact_prefix="$artifacts" -print_final_stats=1 2>"$build_dir/fuzz-$target.log"; then
    echo "${target}_fuzzer failed; the input is in $artifacts:" >&2
    tail -n 40 "$build_dir/fuzz-$target.log" >&2
    status=1
  else
    grep -E '^stat::number_of_executed_units|^stat::new_units_added' "$build_dir/fuzz-$target.log" || true
  fi
  rm -rf "$scratch"
done
exit "$status"
