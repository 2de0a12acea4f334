#!/usr/bin/env bash
# Cross-builds the engine, the headless backend, the program's behaviour and
# their tests for Windows with mingw-w64 into build-windows/, and runs the
# tests under Wine (CTest starts each test program through Wine, the
# toolchain's emulator). Tests that need Qt or an X display are not built for
# Windows; each folder's CMakeLists.txt says what it leaves out and why.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${TARNWICK_WINDOWS_BUILD_DIR:-build-windows}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DTARNWICK_WITH_QT=OFF -DTARNWICK_WITH_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j 2

# A Wine prefix of this build's own, so that nothing else's Wine is touched
# and nothing of the user's is needed; no Mono or Gecko is asked for.
export WINEPREFIX=${WINEPREFIX:-$PWD/$build_dir/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1 || true
fi
wineserver -w
# The window-system and dialog tests need real windows: without a display of
# the caller's, a private Xvfb (the display number it picks itself).
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -f "$display_file"' EXIT
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  [ -s "$display_file" ] && export DISPLAY=":$(head -n 1 "$display_file")"
fi
status=0
ctest --test-dir "$build_dir" --output-on-failure -j 2 --timeout 1200 || status=$?
wineserver -k || true
exit "$status"
