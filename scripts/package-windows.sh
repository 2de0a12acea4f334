#!/usr/bin/env bash
# Cross-builds the Windows program on this Linux machine and packs it:
# installs what is missing (mingw-w64, Wine, msitools), builds a statically
# linked tarnwick.exe into build-windows/ and writes two packages there:
# tarnwick-windows.msi, the installer (per user, no administrator), and
# tarnwick-windows.zip, the portable copy holding tarnwick.exe, edbtool.exe
# and a short read-me.
#
#   scripts/package-windows.sh               build and pack
#   scripts/package-windows.sh --build-only  build tarnwick.exe only (tests)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build_only=0
[ "${1:-}" = "--build-only" ] && build_only=1

bash scripts/setup.sh
build_dir=${TARNWICK_WINDOWS_BUILD_DIR:-$root/build-windows}
if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DTARNWICK_WITH_QT=OFF -DTARNWICK_WITH_BENCH=OFF -DTARNWICK_TEST_KINDS=system >/dev/null
fi
cmake --build "$build_dir" -j 2 --target tarnwick minimal_win32_window edbtool
exe=$build_dir/app/windows/tarnwick.exe
[ -f "$exe" ] || { echo "package-windows.sh: $exe was not built" >&2; exit 1; }
[ "$build_only" -eq 1 ] && exit 0
cmake --build "$build_dir" -j 2 --target tarnwick_msi

# Nothing but system DLLs may be needed beside the program.
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
for dll in $imports; do
  case "$dll" in
    kernel32.dll|user32.dll|gdi32.dll|comctl32.dll|comdlg32.dll|shell32.dll|advapi32.dll|msimg32.dll|msvcrt.dll|ole32.dll|api-ms-win-*) ;;
    *) echo "package-windows.sh: tarnwick.exe needs $dll, which Windows does not carry" >&2; exit 1 ;;
  esac
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
x86_64-w64-mingw32-strip -o "$stage/tarnwick.exe" "$exe"
x86_64-w64-mingw32-strip -o "$stage/edbtool.exe" "$build_dir/tools/edbtool/edbtool.exe"
version=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' packaging/linux/org.tarnwick.Tarnwick.metainfo.xml | head -n 1)
# UTF-8 with its byte-order mark and Windows line ends, so every editor on
# Windows shows the lines and the Chinese captions.
printf '\xef\xbb\xbf' > "$stage/README.txt"
sed 's/$/\r/' >> "$stage/README.txt" <<TEXT
Tarnwick $version for Windows
=========================

Tarnwick is a calendar memo book: a month calendar with Chinese lunar dates,
solar terms and the year's stem-branch name, one memo per day, a list of the
days of the month that hold memos, keyword search over all memos and export
to a text file.

Starting it
-----------
Unpack this folder wherever you keep programs you can write to (for example
Documents\\Tarnwick or a USB stick) and double-click tarnwick.exe. Nothing is
installed, and nothing is written to the registry.

On its first start it asks whether to create its memo database; answer Yes.
Pick a day on the calendar to see its memo; 编辑 (Alt+W) makes it writable,
保存 (Alt+S) saves it. Alt+F opens the month list and the search.

To install Tarnwick instead, with a Start menu entry and an uninstall, use
tarnwick-windows.msi: it installs for your user alone and needs no
administrator.

Where the memos live
--------------------
The memos are two files beside tarnwick.exe: memo.edb and memo.EDT. In a
folder that cannot be written (such as C:\\Program Files) the program keeps
them in %APPDATA%\\Tarnwick instead, and its first question says so. An
installed Tarnwick keeps them there too. tarnwick.exe --data-folder FOLDER
keeps them in FOLDER, which must exist.

Backups
-------
The program backs both files up by itself into the folder "backups" beside
them: before clear all, before the password is set, changed or removed, and
at the first start of each day. The newest 7 daily backups and the newest 10
taken before a change are kept. A backup of a password-protected memo book
opens with the password it had when the backup was taken.

To get one back, close the program and, in a command window in this folder:

    edbtool backups .
    edbtool restore . --keep-newer NAME

restore backs up the memo book as it is first; --keep-newer also keeps the
memos of the dates the backup lacks (it asks for the password when a memo
book is enciphered). By hand: close the program, keep a copy of memo.edb and
memo.EDT, and copy the two files of the chosen backup folder beside
tarnwick.exe.

Removing it
-----------
Close the program and delete the folder (after saving memo.edb and memo.EDT
if you want to keep your memos).
TEXT

out=$build_dir/tarnwick-windows.zip
rm -f "$out"
(cd "$stage" && python3 -m zipfile -c "$out" tarnwick.exe edbtool.exe README.txt)
echo "Wrote $out"
python3 -m zipfile -l "$out"
echo "Wrote $build_dir/tarnwick-windows.msi ($(stat -c %s "$build_dir/tarnwick-windows.msi") bytes)"
