#!/usr/bin/env bash
# Builds the Debian package of the memo book and its tools:
#
#     scripts/package.sh [--from-build FOLDER] [output folder]
#
# writes tarnwick_<version>_<architecture>.deb into the output folder (default:
# the source folder), which installs on Debian 12 with
# `apt install ./tarnwick_*.deb`, and checks it with lintian. Installs what the
# build needs first (scripts/setup.sh). The build goes to build-package/
# (TARNWICK_PACKAGE_BUILD_DIR names another folder), with Debian's compiler
# flags; --from-build packs the programs of a build folder that has them built
# instead (the test command packs its own build). DEBFULLNAME and DEBEMAIL name
# the package's maintainer.
set -euo pipefail
umask 022
root=$(cd "$(dirname "$0")/.." && pwd)
from_build=
if [ "${1:-}" = "--from-build" ]; then
  from_build=$(cd "$2" && pwd)
  shift 2
fi
out=$(mkdir -p "${1:-$root}" && cd "${1:-$root}" && pwd)
build_dir=${from_build:-${TARNWICK_PACKAGE_BUILD_DIR:-$root/build-package}}
jobs=${TARNWICK_PACKAGE_JOBS:-$(nproc)}

bash "$root/scripts/setup.sh"

package=tarnwick
# The version is the newest release the metainfo names.
version=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$root/packaging/linux/org.tarnwick.Tarnwick.metainfo.xml" | head -n 1)
[ -n "$version" ] || { echo "package.sh: no release version in the metainfo" >&2; exit 1; }
architecture=$(dpkg --print-architecture)
maintainer="${DEBFULLNAME:-Tarnwick developers} <${DEBEMAIL:-tarnwick@example.org}>"
# The package's dates are the last commit's, so the same sources give the same package.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH

if [ -z "$from_build" ]; then
  # Debian's compiler flags (optimisation and every hardening it offers); the
  # program and the two tools alone, none of the tests or benchmarks.
  export DEB_BUILD_MAINT_OPTIONS=${DEB_BUILD_MAINT_OPTIONS:-hardening=+all}
  cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DTARNWICK_WITH_BENCH=OFF -DTARNWICK_WITH_FUZZ=OFF -DTARNWICK_TEST_KINDS= \
    -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
  cmake --build "$build_dir" -j "$jobs" --target tarnwick edbtool lunarcal
fi

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
tree=$staging/tree
DESTDIR=$tree cmake --install "$build_dir" --prefix /usr --strip >/dev/null
for program in tarnwick edbtool lunarcal; do
  [ -x "$tree/usr/bin/$program" ] || { echo "package.sh: $program was not installed" >&2; exit 1; }
  # As Debian's own packages are stripped: the compiler's notes go too.
  strip --remove-section=.comment --strip-unneeded "$tree/usr/bin/$program"
done

# Debian keeps manual pages compressed, and the copyright and change log in
# /usr/share/doc/<package>.
gzip -9n "$tree"/usr/share/man/man1/*.1
doc=$tree/usr/share/doc/$package
mkdir -p "$doc"
cat >"$doc/copyright" <<EOF
Tarnwick, a calendar memo book with a Chinese lunar calendar.

Copyright (C) $(date -u -d "@$SOURCE_DATE_EPOCH" +%Y) The Tarnwick developers.
The developers have not chosen a licence for Tarnwick yet; ask them before
passing the program on. The icons are drawn by the project's own image
generator (tools/images/generate_images.py). The metainfo file is CC0-1.0.
EOF
{
  echo "$package ($version) unstable; urgency=medium"
  echo
  echo "  * Built from the Tarnwick source tree by scripts/package.sh."
  echo
  echo " -- $maintainer  $(LC_ALL=C date -u -R -d "@$SOURCE_DATE_EPOCH")"
} | gzip -9n >"$doc/changelog.gz"

# The shared libraries the executables link, as package relations; the Qt
# platform plugin and the fonts are loaded at run time, so they are named
# here: the X11 plugin, and the Song and sans-serif Chinese faces the program
# asks for, in its order of preference.
mkdir -p "$staging/debian"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$package" "$package" >"$staging/debian/control"
shared_libraries=$(cd "$staging" && dpkg-shlibdeps -O -e"$tree/usr/bin/tarnwick" -e"$tree/usr/bin/edbtool" \
  -e"$tree/usr/bin/lunarcal" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$shared_libraries" ] || { echo "package.sh: dpkg-shlibdeps found no libraries" >&2; exit 1; }
depends="$shared_libraries, qt6-qpa-plugins, qt6-translations-l10n, fonts-arphic-uming | fonts-arphic-gbsn00lp | fonts-noto-cjk, fonts-wqy-microhei | fonts-noto-cjk"

mkdir -p "$tree/DEBIAN"
installed_size=$(du -sk --apparent-size --exclude=DEBIAN "$tree" | cut -f1)
cat >"$tree/DEBIAN/control" <<EOF
Package: $package
Version: $version
Architecture: $architecture
Maintainer: $maintainer
Installed-Size: $installed_size
Depends: $depends
Section: utils
Priority: optional
Description: calendar memo book with a Chinese lunar calendar
 Tarnwick keeps one memo for each calendar day. Its month calendar shows
 the Chinese lunar dates, the solar terms and the year's stem-branch name;
 side panels list the days of the month that hold memos and search all
 memos for a keyword. Memos can be exported to a text file, and the memo
 files can be enciphered with a password.
 .
 The package also holds edbtool, which looks into, checks and rescues a
 memo database from the command line, and lunarcal, which prints the lunar
 month calendar in a terminal.
EOF
(cd "$tree" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum >DEBIAN/md5sums)
find "$tree" -type d -exec chmod 0755 {} +
find "$tree" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

deb=$out/${package}_${version}_${architecture}.deb
dpkg-deb --root-owner-group -Zxz --build "$tree" "$deb" >/dev/null
echo "$deb"
lintian --allow-root --fail-on error,warning "$deb"
