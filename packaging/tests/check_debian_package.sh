#!/usr/bin/env bash
# A Debian package written by scripts/package.sh, checked with dpkg-deb: its
# fields and relations, the files it installs and nothing else, and a program
# from it that runs. Every tool it uses is installed by scripts/setup.sh; a
# missing one fails the check.
#
#     check_debian_package.sh PACKAGE.deb SOURCE_FOLDER
set -euo pipefail
deb=$1
source_folder=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

[ -f "$deb" ] || { echo "FAIL: $deb does not exist"; exit 1; }
version=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$source_folder/packaging/linux/org.tarnwick.Tarnwick.metainfo.xml" | head -n 1)
[ "$(basename "$deb")" = "tarnwick_${version}_$(dpkg --print-architecture).deb" ] || fail "package file named $(basename "$deb")"

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = tarnwick ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version), the metainfo says $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Installed-Size)" ] || fail "no Installed-Size"

# Each relation the program needs to start on a fresh Debian: Qt's libraries
# with the X11 platform plugin and Qt's own Chinese translations (its save
# dialog), fontconfig, the C++ library, and the Chinese fonts it draws its
# texts with.
depends=$(field Depends)
for needed in libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins qt6-translations-l10n libfontconfig1 libstdc++6 libc6 \
  fonts-wqy-microhei 'fonts-arphic-uming | fonts-arphic-gbsn00lp'; do
  case ", $depends," in
    *", $needed"[\ ,]*) ;;
    *) fail "Depends lacks $needed: $depends" ;;
  esac
done

# Exactly the expected files, each owned by root, none outside /usr.
dpkg-deb --contents "$deb" >"$work/contents"
awk '$1 !~ /^d/ {print $6}' "$work/contents" | sort >"$work/files"
{
  for program in tarnwick edbtool lunarcal; do
    echo "./usr/bin/$program"
    echo "./usr/share/man/man1/$program.1.gz"
  done
  echo ./usr/share/applications/org.tarnwick.Tarnwick.desktop
  echo ./usr/share/metainfo/org.tarnwick.Tarnwick.metainfo.xml
  for size in 16 22 24 32 48 64 128 256; do
    echo "./usr/share/icons/hicolor/${size}x${size}/apps/org.tarnwick.Tarnwick.png"
  done
  echo ./usr/share/doc/tarnwick/copyright
  echo ./usr/share/doc/tarnwick/changelog.gz
} | sort >"$work/expected"
diff -u "$work/expected" "$work/files" || fail "the package's files differ from the expected ones (- expected, + found)"
awk '$2 != "root/root" {print}' "$work/contents" | grep . && fail "files not owned by root"
awk '$1 ~ /^-/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" {print}' "$work/contents" | grep . &&
  fail "programs without mode 755"

# The programs are stripped, and one runs from the unpacked package.
dpkg-deb --extract "$deb" "$work/tree"
for program in tarnwick edbtool lunarcal; do
  file "$work/tree/usr/bin/$program" 2>/dev/null | grep -q 'not stripped' && fail "$program is not stripped"
done
"$work/tree/usr/bin/lunarcal" --terms 2025 | grep -q '^立春,2025-02-03' || fail "lunarcal from the package does not run"
"$work/tree/usr/bin/tarnwick" --help | grep -q -- '--data-folder' || fail "tarnwick --help from the package"
zcat "$work/tree/usr/share/man/man1/tarnwick.1.gz" | grep -q '^\.TH TARNWICK 1' || fail "tarnwick's manual page"

dpkg-deb --info "$deb"
echo "package size: $(stat -c %s "$deb") bytes; installed size: $(field Installed-Size) KiB"
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "the package passed every check"
