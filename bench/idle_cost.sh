#!/bin/sh
# What `pelmora --idle` costs while the user works: CPU time and wake-ups of
# all its threads over a stretch of waiting, on a private Xvfb where xdotool
# moves the pointer every 10 s (a user at work, so the saver never starts),
# read from /proc (schedstat's nanoseconds on the CPU, and the context
# switches: a thread that blocks and wakes again switches once).
# Usage: bench/idle_cost.sh PELMORA [SECONDS] [IDLE_SECONDS]
# e.g.   bench/idle_cost.sh build/src/app/pelmora 60
set -eu
pelmora=$1
seconds=${2:-60}
delay=${3:-300}

# Nanoseconds on the CPU and context switches, summed over the threads.
cpu() { cat /proc/"$1"/task/*/schedstat | awk '{sum += $1} END {print sum}'; }
switches() {
  cat /proc/"$1"/task/*/status | awk '/^(non)?voluntary_ctxt_switches/ {sum += $2} END {print sum}'
}
display=:$(( 50 + $$ % 400 ))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $saver $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
config=$(mktemp -d)
DISPLAY=$display WAYLAND_DISPLAY= XDG_CONFIG_HOME=$config "$pelmora" --idle "$delay" >/dev/null 2>&1 &
saver=$!
DISPLAY=$display xdotool mousemove 0 0
sleep 5  # settle: the display, the settings and the first look at the idle time
c0=$(cpu $saver); s0=$(switches $saver); threads=$(ls /proc/$saver/task | wc -l)
for step in $(seq 10 10 "$seconds"); do
  DISPLAY=$display xdotool mousemove $((step % 200)) 100
  sleep 10
done
c1=$(cpu $saver); s1=$(switches $saver)
rm -rf "$config"
awk -v c=$((c1 - c0)) -v s=$((s1 - s0)) -v t="$seconds" -v n="$threads" 'BEGIN {
    printf "pelmora --idle waiting %d s: %.4f s CPU, %d wake-ups (%d threads)\n", t, c / 1e9, s, n
}'
