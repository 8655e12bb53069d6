#!/bin/sh
# What `pelmora --idle` costs while the user works: CPU time and wake-ups of
# all its threads over a stretch of waiting, on a private Xvfb where xdotool
# moves the pointer every 10 s (a user at work, so the saver never starts),
# read from /proc (bench/thread_figures.sh).
# Usage: bench/idle_cost.sh PELMORA [SECONDS] [IDLE_SECONDS]
# e.g.   bench/idle_cost.sh build/src/app/pelmora 60
set -eu
pelmora=$1
seconds=${2:-60}
delay=${3:-300}

. "$(dirname "$0")/thread_figures.sh"
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
thread_sample $saver > "$config/before"
for step in $(seq 10 10 "$seconds"); do
  DISPLAY=$display xdotool mousemove $((step % 200)) 100
  sleep 10
done
thread_sample $saver > "$config/after"
thread_figures "pelmora --idle" "$seconds" "$config/before" "$config/after"
rm -rf "$config"
