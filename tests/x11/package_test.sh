#!/usr/bin/env bash
# What users get: `cmake --install` and the Debian package from `cpack -G DEB`
# both put the program, the hack, its dialog file, the desktop entries, the
# icon, the AppStream metadata and the man page where XScreenSaver, MATE,
# menus, software centres and man look for them. The package passes lintian
# without errors or warnings and its program is hardened.
#   package_test.sh BUILD_DIR
set -euo pipefail
build_dir=$1
# A pipe into grep reads to the end (no -q): under pipefail a grep that left
# at the first match would make the writer's SIGPIPE fail the check now and then.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "package test: $*" >&2; exit 1; }

installed=(
  bin/pelmora
  libexec/xscreensaver/pelmora
  share/xscreensaver/config/pelmora.xml
  share/applications/pelmora.desktop
  share/applications/screensavers/pelmora.desktop
  share/man/man1/pelmora.1.gz
  share/icons/hicolor/scalable/apps/pelmora.svg
  share/metainfo/org.pelmora.Pelmora.metainfo.xml
  share/doc/pelmora/copyright
  share/doc/pelmora/changelog.gz
  lib/systemd/user/pelmora-idle.service
)

for tool in lintian desktop-file-validate appstreamcli readelf; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh test installs it)"
done

# A plain install under a prefix of our choosing: the absolute paths in the
# MATE entry and the man page follow that prefix.
prefix=$work/prefix
cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install failed"; }
for path in "${installed[@]}"; do
  [[ -e $prefix/$path ]] || fail "cmake --install did not install $path"
done
[[ -L $prefix/libexec/xscreensaver/pelmora && $(readlink "$prefix/libexec/xscreensaver/pelmora") == ../../bin/pelmora ]] ||
  fail "the hack is not a relative link to the one installed program"
"$prefix/libexec/xscreensaver/pelmora" --version | grep '^pelmora ' >/dev/null || fail "the installed hack does not run"
for entry in "$prefix/share/applications/pelmora.desktop" "$prefix/share/applications/screensavers/pelmora.desktop"; do
  # Hints (such as MATE's Screensaver category not being a main one) are not faults.
  complaints=$(desktop-file-validate "$entry" 2>&1 | grep -v ': hint: ' || true)
  [[ -z $complaints ]] || fail "desktop-file-validate: $complaints"
  grep -qx 'Icon=pelmora' "$entry" || fail "$entry names no icon"
done
appstreamcli validate --no-net "$prefix/share/metainfo/org.pelmora.Pelmora.metainfo.xml" >"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log"; fail "appstreamcli rejects the metadata"; }
grep -qx "ExecStart=$prefix/bin/pelmora --idle" "$prefix/lib/systemd/user/pelmora-idle.service" ||
  fail "the user unit does not start the installed program"
grep -qx "Exec=$prefix/libexec/xscreensaver/pelmora --root" "$prefix/share/applications/screensavers/pelmora.desktop" ||
  fail "the MATE entry does not name the installed hack"
zgrep -q "$prefix/share/xscreensaver/config/pelmora.xml" "$prefix/share/man/man1/pelmora.1.gz" ||
  fail "the man page does not name the installed dialog file"
if command -v man >/dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/pelmora.1.gz" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "the man page has warnings: $warnings"
fi

# Uninstalling as the README says: every file the manifest lists goes.
[[ -f $build_dir/install_manifest.txt ]] || fail "cmake --install wrote no install_manifest.txt"
xargs -d '\n' rm -f <"$build_dir/install_manifest.txt"
left=$(find "$prefix" -type f -o -type l)
[[ -z $left ]] || fail "removing the files of install_manifest.txt left: $left"

# The package installs under /usr, the prefix Debian's XScreenSaver reads.
cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
debs=("$work"/package/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "cpack made no .deb"
listing=$(dpkg -c "${debs[0]}")
for path in "${installed[@]}"; do
  grep -qE " \./usr/$path( -> .*)?\$" <<<"$listing" || fail "the package lacks /usr/$path"
done
dpkg-deb -f "${debs[0]}" Depends | grep libx11 >/dev/null || fail "the package does not depend on the libraries it links"
dpkg-deb -f "${debs[0]}" Description | grep 'Wayland compositors with layer shell' >/dev/null ||
  fail "the package's description does not name the Wayland modes"
dpkg-deb --fsys-tarfile "${debs[0]}" | tar -xO ./usr/share/applications/screensavers/pelmora.desktop |
  grep -x 'Exec=/usr/libexec/xscreensaver/pelmora --root' >/dev/null || fail "the packaged MATE entry does not name /usr/libexec"

# Hardening that lintian reports only as information: BIND_NOW and fortified calls.
extracted=$work/extracted
dpkg-deb -x "${debs[0]}" "$extracted"
[[ -L $extracted/usr/libexec/xscreensaver/pelmora ]] || fail "the package holds a second copy of the program"
dynamic=$(readelf -dW "$extracted/usr/bin/pelmora")
grep -q 'BIND_NOW' <<<"$dynamic" || fail "the program is not linked with -z now"
grep -q 'PIE' <<<"$dynamic" || fail "the program is not position independent"
readelf -lW "$extracted/usr/bin/pelmora" | grep GNU_RELRO >/dev/null || fail "the program has no RELRO segment"
symbols=$(readelf --dyn-syms -W "$extracted/usr/bin/pelmora")
grep -q '__stack_chk_fail' <<<"$symbols" || fail "the program is built without the stack protector"
grep -q '__[a-z]*printf_chk' <<<"$symbols" || fail "the program is built without _FORTIFY_SOURCE"

# Run as root, lintian also prints a notice about that; only tags count.
lintian --fail-on error,warning "${debs[0]}" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log"; fail "lintian finds errors or warnings"; }
if grep -E '^[EW]: ' "$work/lintian.log"; then
  fail "lintian finds errors or warnings"
fi
echo "package test: $(basename "${debs[0]}") installs ${#installed[@]} files and passes lintian"
