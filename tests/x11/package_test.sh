#!/usr/bin/env bash
# What users get: `cmake --install` and the Debian package from `cpack -G DEB`
# both put the program, the hack, its dialog file, the desktop entries and the
# man page where XScreenSaver, MATE and man look for them.
#   package_test.sh BUILD_DIR
set -euo pipefail
build_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "package test: $*" >&2; exit 1; }

installed=(
  bin/pelmora
  libexec/xscreensaver/pelmora
  share/xscreensaver/config/pelmora.xml
  share/applications/pelmora.desktop
  share/applications/screensavers/pelmora.desktop
  share/man/man1/pelmora.1
)

# A plain install under a prefix of our choosing: the absolute paths in the
# MATE entry and the man page follow that prefix.
prefix=$work/prefix
cmake --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install failed"; }
for path in "${installed[@]}"; do
  [[ -e $prefix/$path ]] || fail "cmake --install did not install $path"
done
"$prefix/libexec/xscreensaver/pelmora" --version | grep -q '^pelmora ' || fail "the installed hack does not run"
grep -qx "Exec=$prefix/libexec/xscreensaver/pelmora --root" "$prefix/share/applications/screensavers/pelmora.desktop" ||
  fail "the MATE entry does not name the installed hack"
grep -q "$prefix/share/xscreensaver/config/pelmora.xml" "$prefix/share/man/man1/pelmora.1" ||
  fail "the man page does not name the installed dialog file"
if command -v man >/dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/pelmora.1" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "the man page has warnings: $warnings"
fi

# The package installs under /usr, the prefix Debian's XScreenSaver reads.
cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
debs=("$work"/package/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "cpack made no .deb"
listing=$(dpkg -c "${debs[0]}")
for path in "${installed[@]}"; do
  grep -q " \./usr/$path\$" <<<"$listing" || fail "the package lacks /usr/$path"
done
dpkg-deb -f "${debs[0]}" Depends | grep -q libx11 || fail "the package does not depend on the libraries it links"
dpkg-deb --fsys-tarfile "${debs[0]}" | tar -xO ./usr/share/applications/screensavers/pelmora.desktop |
  grep -qx 'Exec=/usr/libexec/xscreensaver/pelmora --root' || fail "the packaged MATE entry does not name /usr/libexec"
echo "package test: $(basename "${debs[0]}") installs ${#installed[@]} files"
