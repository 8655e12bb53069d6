#!/usr/bin/env bash
# The Windows tests, run under wine64 on the X display in $DISPLAY (see
# scripts/test-windows.sh). One private Wine prefix serves all but the
# installer test, which needs a fresh one: booting a prefix is the slow part.
#   tests/win32/wine_tests.sh <build-dir>
set -uo pipefail

build=$1
here=$(cd "$(dirname "$0")" && pwd)
tests=$build/tests/win32
scr=$build/src/app/win32/pelmora.scr

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINEDEBUG=-all
# No Mono or Gecko download prompts in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="

work=$(mktemp -d)
screens=$build/wine-screens
rm -rf "$screens"
mkdir -p "$screens"
failures=()
started=()

cleanup() {
  local pid
  for pid in "${started[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for prefix in "$work"/prefix*; do
    [[ -d $prefix ]] && WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  failures+=("$*")
}

# Waits, polling, until "$@" succeeds; false after $deadline seconds.
wait_until() {
  local deadline=$1
  shift
  local until=$((SECONDS + deadline))
  until "$@"; do
    ((SECONDS < until)) || return 1
    sleep 0.3
  done
}

make_prefix() {
  export WINEPREFIX=$1
  timeout 600 "$wine" wineboot -i >/dev/null 2>&1
  # Fonts as a user's prefix has them: Helvetica, as the view asks for it,
  # is substituted by an Arial that Wine does not have.
  # A virtual desktop: without a window manager, destroying a top-level
  # window otherwise takes seconds.
  "$wine" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  "$wine" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
  "$wineserver" -w
}

echo "== preparing a Wine prefix"
make_prefix "$work/prefix"

echo "== core, view and Windows host tests"
for program in sim/sim_tests sim/sim_allocation_tests view/view_tests settings_text_tests win32_tests; do
  if ! timeout 600 "$wine" "$tests/$program.exe" --gtest_brief=1; then
    fail "$program"
  fi
done

echo "== the saver driven as Windows drives it: preview panes and the options dialog"
# The dialog test leaves its settings under this module for the /s test below.
configured=wine-test-configured
if ! PELMORA_SCR=$("$wine" winepath -w "$scr" 2>/dev/null) PELMORA_MODULE=$configured \
  PELMORA_SETUP=$("$wine" winepath -w "$build/pelmora-setup.exe" 2>/dev/null) \
  timeout 600 "$wine" "$tests/saver_program_tests.exe"; then
  fail "saver_program_tests"
fi

# shares <name> [geometry]: screenshot of the whole X screen (or of the
# part in ImageMagick's geometry), kept as <name>.png to look at, and its
# background, sphere and white shares in $background, $spheres, $white.
shares() {
  local ppm=$work/screen.ppm
  import -display "$DISPLAY" -window root -depth 8 "ppm:$ppm" 2>/dev/null || return 1
  if [[ -n ${2:-} ]]; then
    convert "$ppm" -crop "$2" +repage "ppm:$ppm" || return 1
  fi
  read -r background spheres white _ < <("$here/screen_shares.py" "$ppm" | sed 's/[a-z]*=//g')
  convert "$ppm" "$screens/$1.png" 2>/dev/null || true
}

# Predicates on a new screenshot's shares.
mostly_background() { shares "$1" && awk -v b="$background" 'BEGIN { exit !(b >= 0.90) }'; }
shows_spheres() { mostly_background "$1" && awk -v s="$spheres" 'BEGIN { exit !(s >= 0.004) }'; }
shows_white() { mostly_background "$1" && awk -v w="$white" 'BEGIN { exit !(w >= 0.0005) }'; }
only_background() { shares "$1" && awk -v b="$background" -v s="$spheres" 'BEGIN { exit !(b >= 0.995 && s == 0) }'; }

saver_pid=
start_saver() {
  local errors=$1
  shift
  "$wine" "$scr" /s "$@" 2>"$errors" &
  saver_pid=$!
  started+=("$saver_pid")
}

saver_ended() { ! kill -0 "$saver_pid" 2>/dev/null; }

# ends_with <code> <how> <command...>: ends the saver with the command and
# checks that it goes, with exit code <code>.
ends_with() {
  local expected=$1 how=$2
  shift 2
  "$@"
  if ! wait_until 20 saver_ended; then
    fail "/s did not end on $how"
    kill "$saver_pid" 2>/dev/null
    return
  fi
  local code=0
  wait "$saver_pid" || code=$?
  ((code == expected)) || fail "/s ended on $how with exit code $code, not $expected"
}

end_saver() { ends_with 0 "$@"; }

echo "== /p draws into a plain program's window"
# The host's white window has its client area from about (104, 127) to
# (420, 336) on the screen; the middle of it must be the saver's.
PELMORA_SCR=$("$wine" winepath -w "$scr" 2>/dev/null) "$wine" "$tests/saver_program_tests.exe" --plain-host 30 >/dev/null 2>&1 &
host_pid=$!
started+=("$host_pid")
preview_shown() { shares plain-host 240x150+140+160 && awk -v b="$background" -v s="$spheres" 'BEGIN { exit !(b >= 0.5 && s >= 0.01) }'; }
if wait_until 60 preview_shown; then
  echo "background $background, spheres $spheres in the plain window"
else
  fail "/p in a plain window left it blank (background $background)"
fi
kill "$host_pid" 2>/dev/null
wait "$host_pid" 2>/dev/null

echo "== /s draws the background and spheres and ends on a key"
xdotool mousemove 512 384
start_saver "$work/s1.err" --module-name wine-test-defaults
if wait_until 60 shows_spheres full-screen; then
  echo "background $background, spheres $spheres"
else
  fail "/s showed no spheres on its background (background $background, spheres $spheres)"
fi
end_saver "a key" xdotool key space

echo "== /s writes the charge labels"
# Outlined discs and no field lines: the only white is the labels' text.
start_saver "$work/s5.err" --module-name wine-test-defaults -numberOfThings 100 -labelsEnabled YES -fillSpheres NO -showLocalFields NO
if wait_until 60 shows_white labels; then
  echo "background $background, spheres $spheres, white $white"
else
  fail "/s showed no charge labels (background $background, spheres $spheres, white $white)"
fi
end_saver "a key" xdotool key space

echo "== /s ends on a pointer move"
start_saver "$work/s2.err" --module-name wine-test-defaults
wait_until 60 mostly_background pointer || fail "/s did not start for the pointer test"
end_saver "a pointer move" xdotool mousemove_relative 20 20

echo "== /s takes --on-battery; on mains, as Wine reports it here, even pause draws"
start_saver "$work/s7.err" --module-name wine-test-defaults --on-battery pause
if wait_until 60 shows_spheres on-battery-pause; then
  echo "background $background, spheres $spheres"
else
  fail "/s --on-battery pause on mains showed no spheres (background $background, spheres $spheres)"
fi
end_saver "a key" xdotool key space

echo "== a bad --on-battery word gets one line and a box, and exit code 2"
start_saver "$work/s8.err" --on-battery fast
expected='pelmora: --on-battery "fast" is not run, slow or pause'
said_bad_word() { grep -qxF "$expected" "$work/s8.err"; }
wait_until 30 said_bad_word || fail "no line for the bad --on-battery word; standard error was: $(cat "$work/s8.err")"
ends_with 2 "OK in the box about the bad --on-battery word" xdotool key Return

echo "== /s runs with the settings the options dialog saved (no spheres, no lines)"
start_saver "$work/s3.err" --module-name "$configured"
if wait_until 60 only_background configured; then
  echo "background $background, spheres $spheres"
else
  fail "/s did not show the saved settings (background $background, spheres $spheres)"
fi
end_saver "a key" xdotool key space

echo "== a bad registry value gets its default and a message"
"$wine" reg add 'HKCU\Software\Pelmora\wine-test-bad' /v numberOfThings /d lots /f >/dev/null 2>&1
start_saver "$work/s4.err" --module-name wine-test-bad
wait_until 60 shows_spheres bad-value || fail "/s with a bad value showed no spheres (spheres $spheres)"
end_saver "a key" xdotool key space
expected='pelmora: HKCU\Software\Pelmora\wine-test-bad: numberOfThings = "lots" is not a whole number; using its default "40"'
if ! grep -qxF "$expected" "$work/s4.err"; then
  fail "no message for the bad value; standard error was: $(cat "$work/s4.err")"
fi

echo "== without Direct2D, /s says why in one line and a box, and ends"
WINEDLLOVERRIDES="mscoree,mshtml,d2d1=" start_saver "$work/s6.err" --module-name wine-test-defaults
sleep 5
if saver_ended; then
  fail "/s without Direct2D ended without showing why"
else
  shares no-direct2d || true
  ends_with 1 "OK in the box about the missing Direct2D" xdotool key Return
fi
expected='pelmora: cannot draw the saver: Direct2D (d2d1.dll) is not available on this system: error 126'
if ! grep -qxF "$expected" "$work/s6.err" || (($(grep -c . "$work/s6.err") != 1)); then
  fail "no single line about the missing Direct2D; standard error was: $(cat "$work/s6.err")"
fi

WINEPREFIX=$work/prefix "$wineserver" -k 2>/dev/null || true

echo "== the installer installs and uninstalls in a fresh prefix"
make_prefix "$work/prefix-install"
drive=$WINEPREFIX/drive_c
installed=$drive/windows/system32/pelmora.scr
timeout 300 "$wine" "$build/pelmora-setup.exe" /S /CURRENT
has_saver() { [[ -f $installed ]]; }
wait_until 60 has_saver || fail "the installer put no pelmora.scr into System32"
cmp -s "$installed" "$build/dist/pelmora.scr" || fail "the installed pelmora.scr is not the one built"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelmora'
"$wine" reg query "$uninstall_key" /v UninstallString >/dev/null 2>&1 || fail "the installer registered no uninstaller"
# Apps shows the size in KiB of what was installed: the saver and the uninstaller.
estimated=$("$wine" reg query "$uninstall_key" /v EstimatedSize 2>/dev/null | tr -d '\r' | awk '/EstimatedSize/ { print $3 }')
[[ $estimated == 0x* ]] && estimated=$((estimated))
uninstaller_bytes=$(find "$drive" -ipath '*/pelmora/uninstall.exe' -printf '%s' -quit)
installed_kib=$((($(stat -c %s "$installed") + ${uninstaller_bytes:-0}) / 1024))
if [[ -z $estimated ]] || ((estimated < installed_kib - 2 || estimated > installed_kib + 2)); then
  fail "EstimatedSize is '${estimated}' KiB; what was installed is $installed_kib KiB"
fi
"$wine" reg query 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE 2>/dev/null | grep -qi 'pelmora.scr' ||
  fail "/CURRENT did not make Pelmora the current screen saver"
uninstaller=$(find "$drive" -ipath '*/pelmora/uninstall.exe' -print -quit)
[[ -n $uninstaller ]] || fail "no uninstaller was installed"
if [[ -n $uninstaller ]]; then
  # The uninstaller copies itself away and runs from there; wait for its work.
  timeout 300 "$wine" "$uninstaller" /S
  removed() { [[ ! -e $installed && ! -e $uninstaller ]]; }
  wait_until 60 removed || fail "the uninstaller left pelmora.scr or itself behind"
  "$wineserver" -w
  ! "$wine" reg query "$uninstall_key" >/dev/null 2>&1 || fail "the uninstaller left its registry key"
  ! "$wine" reg query 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE 2>/dev/null | grep -qi pelmora ||
    fail "the uninstaller left Pelmora as the current screen saver"
  [[ ! -e $(dirname "$uninstaller") ]] || fail "the uninstaller left its folder"
fi

echo "screenshots: $screens"
if ((${#failures[@]})); then
  echo "${#failures[@]} Windows test(s) failed:" >&2
  printf '  %s\n' "${failures[@]}" >&2
  exit 1
fi
echo "all Windows tests passed"
