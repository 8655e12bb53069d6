#!/bin/bash
# CPU share of pelmora and of the X server (a private Xvfb), read from
# /proc/<pid>/stat over a stretch of seconds, pelmora's wake-ups a second
# (the context switches of all its threads, from /proc/<pid>/task/*/status)
# and its own --fps lines.
# Usage: bench/x_cpu.sh PELMORA [SECONDS] [WIDTHxHEIGHT] [-- pelmora arguments...]
# e.g.   bench/x_cpu.sh build/src/app/pelmora 20 1920x1080 -- --root --fps
#        bench/x_cpu.sh build/src/app/pelmora 20 1920x1080 -- --fullscreen --fps -numberOfThings 2000
# `--window-id HOST` draws into a window the script makes first, as a screen
# locker would. HIDE puts the view out of sight before measuring:
#   HIDE=cover  another window over the whole screen
#   HIDE=unmap  pelmora's window (or HOST) unmapped, as a window manager
#               minimises a window or hides a workspace
# e.g.   HIDE=cover bench/x_cpu.sh build/src/app/pelmora 60 1920x1080 -- --window-id HOST
set -eu
pelmora=$1; shift
seconds=${1:-20}; [ $# -gt 0 ] && shift
size=${1:-1920x1080}; [ $# -gt 0 ] && shift
[ "${1:-}" = "--" ] && shift
hide=${HIDE:-}

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ {n += $2} END {print n}'; }
hz=$(getconf CLK_TCK)
display=:$(( 50 + $$ % 400 ))
Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
others=""
trap 'kill $hack $others $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
export DISPLAY=$display
# A full-screen window of another client (xlogo names no process), and its id.
window_of_its_own() {
    local before
    before=$(xdotool search --onlyvisible --name '^xlogo$' 2>/dev/null | wc -l)
    xlogo -geometry "${size}+0+0" >/dev/null 2>&1 &
    others="$others $!"
    for _ in $(seq 1 100); do
        [ "$(xdotool search --onlyvisible --name '^xlogo$' 2>/dev/null | wc -l)" -gt "$before" ] && break
        sleep 0.1
    done
    xdotool search --onlyvisible --name '^xlogo$' 2>/dev/null | sort -n | tail -n 1
}
host=""
args=()
for arg in "$@"; do
    if [ "$arg" = HOST ]; then
        host=$(window_of_its_own)
        arg=$host
    fi
    args+=("$arg")
done
log=$(mktemp)
"$pelmora" "${args[@]}" 2>"$log" &
hack=$!
sleep 3  # settle: creation, caches, first frames
case $hide in
    cover) window_of_its_own >/dev/null ;;
    unmap)
        target=$(xdotool search --onlyvisible --pid "$hack" 2>/dev/null | head -n 1)
        xdotool windowunmap --sync "${target:-$host}" ;;
    "") ;;
    *) echo "HIDE=$hide: cover or unmap" >&2; exit 2 ;;
esac
[ -n "$hide" ] && sleep 1
h0=$(ticks $hack); x0=$(ticks $xvfb); s0=$(switches $hack); t0=$(date +%s.%N)
sleep "$seconds"
h1=$(ticks $hack); x1=$(ticks $xvfb); s1=$(switches $hack); t1=$(date +%s.%N)
awk -v h=$((h1 - h0)) -v x=$((x1 - x0)) -v s=$((s1 - s0)) -v hz="$hz" -v t0="$t0" -v t1="$t1" 'BEGIN {
    wall = t1 - t0
    printf "pelmora %.2f%% (%.2f s of CPU a minute), %.1f wake-ups/s  Xvfb %.1f%%  (of one core, over %.1f s)\n",
        100 * h / hz / wall, 60 * h / hz / wall, s / wall, 100 * x / hz / wall, wall
}'
tail -n 2 "$log"
rm -f "$log"
