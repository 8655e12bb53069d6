#!/bin/sh
# What `pelmora --idle` costs while the user works on GNOME: the same figures
# as bench/idle_cost.sh (CPU time and wake-ups of all its threads, from
# /proc, bench/thread_figures.sh), with the saver on a private headless Mutter and its session bus,
# where it waits on Mutter's idle monitor. Every 10 s the pointer moves
# through Mutter's remote desktop interface, so the saver never starts.
# Mutter will not run as root, so as root it runs as nobody.
# Usage: bench/idle_cost_gnome.sh PELMORA [SECONDS] [IDLE_SECONDS]
# e.g.   bench/idle_cost_gnome.sh build/src/app/pelmora 60
set -eu
pelmora=$(realpath "$1")
seconds=${2:-60}
delay=${3:-300}

. "$(dirname "$0")/thread_figures.sh"
base=$(mktemp -d /tmp/pelmora-gnome-bench-XXXXXX)
mkdir -p "$base/run" "$base/home" "$base/bus" "$base/config"
chmod 755 "$base" "$base/bus"
chmod 700 "$base/run"
as_user=""
if [ "$(id -u)" -eq 0 ]; then
  chown nobody:nogroup "$base/run" "$base/home" "$base/bus"
  as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
fi
cat > "$base/bus.conf" <<CONF
<busconfig>
  <type>session</type>
  <listen>unix:dir=$base/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/>
  </policy>
</busconfig>
CONF
$as_user env -i HOME="$base/home" XDG_RUNTIME_DIR="$base/run" GSETTINGS_BACKEND=memory PATH=/usr/bin:/bin \
  dbus-run-session --config-file="$base/bus.conf" -- sh -c \
  "echo \$DBUS_SESSION_BUS_ADDRESS > $base/bus/address.new && echo \$\$ > $base/bus/mutter.pid &&
   mv $base/bus/address.new $base/bus/address &&
   exec mutter --headless --wayland --no-x11 --virtual-monitor 1280x800" >/dev/null 2>&1 &
saver=""
mover_pid=""
trap '[ -n "$saver" ] && kill $saver 2>/dev/null; kill $mover_pid $(cat $base/bus/mutter.pid) 2>/dev/null; sleep 1; rm -rf "$base"' EXIT
for _ in $(seq 1 300); do [ -S "$base/run/wayland-0" ] && [ -f "$base/bus/address" ] && break; sleep 0.1; done
address=$(cat "$base/bus/address")
sleep 1  # Mutter's interfaces come up just after its socket

# The pointer moves every 10 s through one remote desktop session, kept for
# the whole stretch: a session's virtual devices come and go with it, and
# each coming and going is news to every Wayland client, which a real
# user's mouse never makes.
mover() {
  /usr/bin/python3 - "$address" "$1" <<'PY'
import sys, time
from gi.repository import Gio, GLib
flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
bus = Gio.DBusConnection.new_for_address_sync(sys.argv[1], flags, None, None)
name, path = 'org.gnome.Mutter.RemoteDesktop', '/org/gnome/Mutter/RemoteDesktop'
session = bus.call_sync(name, path, name, 'CreateSession', None, None, 0, 5000, None).unpack()[0]
def call(method, arguments=None):
    bus.call_sync(name, session, name + '.Session', method, arguments, None, 0, 5000, None)
call('Start')
for step in range(int(sys.argv[2])):
    time.sleep(10)
    call('NotifyPointerMotionRelative', GLib.Variant('(dd)', (float(step % 7 + 1), 3.0)))
PY
}
mover $((seconds / 10 + 2)) 2>/dev/null &
mover_pid=$!
sleep 2  # the session's devices arrive before the measuring starts

env -u DISPLAY XDG_RUNTIME_DIR="$base/run" WAYLAND_DISPLAY=wayland-0 DBUS_SESSION_BUS_ADDRESS="$address" \
  DBUS_SYSTEM_BUS_ADDRESS="$address" NO_AT_BRIDGE=1 XDG_CONFIG_HOME="$base/config" \
  "$pelmora" --idle "$delay" >/dev/null 2>&1 &
saver=$!
sleep 5  # settle: the display, the settings and the idle watch
thread_sample $saver > "$base/before"
sleep "$seconds"
thread_sample $saver > "$base/after"
thread_figures "pelmora --idle on GNOME (Mutter)" "$seconds" "$base/before" "$base/after"
