#!/bin/sh
# CPU share of pelmora and of the X server (a private Xvfb), read from
# /proc/<pid>/stat over a stretch of seconds, and pelmora's own --fps lines.
# Usage: bench/x_cpu.sh PELMORA [SECONDS] [WIDTHxHEIGHT] [-- pelmora arguments...]
# e.g.   bench/x_cpu.sh build/src/app/pelmora 20 1920x1080 -- --root --fps
#        bench/x_cpu.sh build/src/app/pelmora 20 1920x1080 -- --fullscreen --fps -numberOfThings 2000
set -eu
pelmora=$1; shift
seconds=${1:-20}; [ $# -gt 0 ] && shift
size=${1:-1920x1080}; [ $# -gt 0 ] && shift
[ "${1:-}" = "--" ] && shift

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
display=:$(( 50 + $$ % 400 ))
Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $hack $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
log=$(mktemp)
DISPLAY=$display "$pelmora" "$@" 2>"$log" &
hack=$!
sleep 3  # settle: creation, caches, first frames
h0=$(ticks $hack); x0=$(ticks $xvfb); t0=$(date +%s.%N)
sleep "$seconds"
h1=$(ticks $hack); x1=$(ticks $xvfb); t1=$(date +%s.%N)
awk -v h=$((h1 - h0)) -v x=$((x1 - x0)) -v hz="$hz" -v t0="$t0" -v t1="$t1" 'BEGIN {
    wall = t1 - t0
    printf "pelmora %.1f%%  Xvfb %.1f%%  (of one core, over %.1f s)\n", 100 * h / hz / wall, 100 * x / hz / wall, wall
}'
tail -n 2 "$log"
rm -f "$log"
