#!/bin/sh
# What pelmora's Wayland modes cost under a private headless sway (pixman
# renderer, as the tests run it): CPU share of pelmora and of sway, pelmora's
# page faults and wake-ups (context switches of all its threads) a second,
# all read from /proc over a stretch of seconds after a settling time, and
# the frame rates from pelmora's own --fps lines.
# Usage: bench/wayland_cpu.sh PELMORA [SECONDS] [CASE...]
# Cases: background overlay two scale2 tiled fullscreen crowded paused (all
# of them when none is named; paused runs a UPower that says the machine is
# on battery, python3-dbusmock's, on a private system bus, with
# --on-battery pause). REFRESH=60 gives sway's outputs 60 Hz instead of 120:
# a headless output re-arms its frame timer only after sway has drawn the
# frame, so it refreshes once per period plus sway's drawing time (a "60 Hz"
# one 50 to 55 times a second at 1080p, 35 to 40 at 4K). A monitor paced by
# its own vertical blank does not slow down that way; 120 Hz lets sway keep
# up with a view that draws at most 60 frames a second.
# e.g.   bench/wayland_cpu.sh build/src/app/pelmora 15 background fullscreen
set -eu
pelmora=$(realpath "$1"); shift
seconds=${1:-15}; [ $# -gt 0 ] && shift
cases=${*:-background overlay two scale2 tiled fullscreen crowded paused}
refresh=${REFRESH:-120}

hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
faults() { awk '{print $10}' "/proc/$1/stat"; }
switches() { cat /proc/"$1"/task/*/status | awk '/ctxt_switches/ {s += $2} END {print s}'; }

base=$(mktemp -d /tmp/pelmora-bench-XXXXXX)
sway_pid=
client=
bus_pid=
upower=
cleanup() {
    [ -n "$upower" ] && kill "$upower" 2>/dev/null || true
    [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
    [ -n "$client" ] && kill "$client" 2>/dev/null || true
    [ -n "$sway_pid" ] && kill "$sway_pid" 2>/dev/null || true
    rm -rf "$base"
}
trap cleanup EXIT

# Starts a sway with `$1` as its extra configuration; sets $sway_pid and the
# variables its clients need. Sway will not run as root, so as root it runs
# as nobody with a runtime directory of its own that root can still reach.
start_sway() {
    rm -rf "$base/run" && mkdir -p "$base/run" && chmod 755 "$base" && chmod 700 "$base/run"
    printf 'xwayland disable\ndefault_border none\n%b' "$1" >"$base/config" && chmod 644 "$base/config"
    set -- /usr/bin/sway -c "$base/config"
    if [ "$(id -u)" = 0 ]; then
        chown 65534:65534 "$base/run"
        set -- setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
    fi
    env -i PATH="$PATH" HOME=/nonexistent XDG_RUNTIME_DIR="$base/run" WLR_RENDERER=pixman \
        WLR_LIBINPUT_NO_DEVICES=1 WLR_BACKENDS=headless "$@" >"$base/sway.log" 2>&1 &
    sway_pid=$!
    for _ in $(seq 1 100); do
        socket=$(ls "$base/run" 2>/dev/null | grep -E '^wayland-[0-9]+$' || true)
        ipc=$(ls "$base/run" 2>/dev/null | grep -E '^sway-ipc' || true)
        [ -n "$socket" ] && [ -n "$ipc" ] && break
        sleep 0.1
    done
    export XDG_RUNTIME_DIR="$base/run" WAYLAND_DISPLAY="$base/run/$socket" SWAYSOCK="$base/run/$ipc"
    unset DISPLAY
}

stop_sway() {
    kill "$sway_pid" 2>/dev/null || true
    wait "$sway_pid" 2>/dev/null || true
    sway_pid=
}

# Runs pelmora with "$@" (after `$1`, the case's name), waits, and measures.
measure() {
    name=$1; shift
    log="$base/pelmora.log"
    "$pelmora" "$@" --fps 2>"$log" &
    hack=$!
    sleep 4  # settle: outputs, the views, buffers, first frames
    h0=$(ticks $hack); s0=$(ticks $sway_pid); f0=$(faults $hack); w0=$(switches $hack); t0=$(date +%s.%N)
    sleep "$seconds"
    h1=$(ticks $hack); s1=$(ticks $sway_pid); f1=$(faults $hack); w1=$(switches $hack); t1=$(date +%s.%N)
    kill $hack; wait $hack 2>/dev/null || true
    fps=$(grep -E ' fps, load ' "$log" | tail -n 4 | sed -E 's/^pelmora: (.*: )?([0-9.]+) fps.*/\2/' | tr '\n' ' ')
    awk -v name="$name" -v h=$((h1 - h0)) -v s=$((s1 - s0)) -v f=$((f1 - f0)) -v w=$((w1 - w0)) -v hz="$hz" \
        -v t0="$t0" -v t1="$t1" -v fps="${fps:-none}" 'BEGIN {
        wall = t1 - t0
        printf "%-11s pelmora %5.1f%% (%.2f s CPU a minute)  sway %5.1f%%  faults %6.0f/s  wake-ups %6.1f/s  fps %s\n",
               name, 100 * h / hz / wall, 60 * h / hz / wall, 100 * s / hz / wall, f / wall, w / wall, fps
    }'
}

# A system bus of our own with a UPower on it that says "on battery".
start_battery() {
    cat >"$base/system.conf" <<EOF
<busconfig><type>system</type><listen>unix:path=$base/system_bus</listen>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_type="*"/></policy>
</busconfig>
EOF
    bus_pid=$(dbus-daemon --config-file="$base/system.conf" --fork --print-pid)
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$base/system_bus"
    /usr/bin/python3 -m dbusmock --system --template upower -p '{"OnBattery": true}' >/dev/null 2>&1 &
    upower=$!
    sleep 2
}

mode="mode --custom 1920x1080@${refresh}Hz"
for case in $cases; do
    case $case in
    background | overlay)
        start_sway "output HEADLESS-1 $mode\n"
        measure "$case" --layer "$case"
        ;;
    two)
        start_sway "output HEADLESS-1 $mode\noutput HEADLESS-2 $mode\n"
        swaymsg create_output >/dev/null
        measure two --layer background
        ;;
    scale2)
        start_sway "output HEADLESS-1 mode --custom 3840x2160@${refresh}Hz scale 2\n"
        measure scale2 --layer background
        ;;
    tiled | fullscreen)
        rule=""
        [ "$case" = fullscreen ] && rule='for_window [app_id="foot"] fullscreen enable\n'
        start_sway "output HEADLESS-1 $mode\n$rule"
        foot >/dev/null 2>&1 &
        client=$!
        sleep 1
        measure "$case" --layer background
        kill "$client" 2>/dev/null || true
        client=
        ;;
    crowded)
        start_sway "output HEADLESS-1 $mode\n"
        measure crowded --layer overlay -numberOfThings 2000 -labelsEnabled YES
        ;;
    paused)
        start_battery
        start_sway "output HEADLESS-1 $mode\n"
        measure paused --layer background --on-battery pause
        ;;
    *)
        echo "unknown case: $case" >&2
        exit 2
        ;;
    esac
    stop_sway
done
