#!/usr/bin/env bash
# Cross-builds the Windows program, its installer (tarnwick-windows.msi, with
# wixl) and the tests of what differs on Windows (the engine's file layer,
# locks and processes, the command-line tools' terminal side, the Win32
# window system, the data folder) with mingw-w64 into build-windows/,
# and runs those tests under Wine (CTest starts each test program through
# Wine, the toolchain's emulator). The portable code's tests run natively
# and sanitized (scripts/test-sanitized.sh). One Wine prefix, inside the
# build folder, serves these tests and the Windows program's end-to-end
# tests, the installer's among them, which the plain build runs on its
# private X displays.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/test-common.sh
build_dir=${TARNWICK_WINDOWS_BUILD_DIR:-build-windows}
configure_and_build() {
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DTARNWICK_WITH_QT=OFF -DTARNWICK_WITH_BENCH=OFF -DTARNWICK_TEST_KINDS=system \
    "${launcher_options[@]}" >/dev/null &&
    cmake --build "$build_dir" -j 2
}
[ "$test_step" = run ] || phase "windows build" configure_and_build
[ "$test_step" != build ] || exit 0

# The window-system tests need real windows: without a display of the
# caller's, a private Xvfb (the display number it picks itself). It starts
# before the Wine server, whose desktop window lives on that display.
if [ -z "${DISPLAY:-}" ]; then
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -f "$display_file"' EXIT
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  [ -s "$display_file" ] || { echo "test-windows.sh: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n 1 "$display_file")"
fi
# The prefix is this build's own, so that nothing else's Wine is touched and
# nothing of the user's is needed; no Mono or Gecko is asked for.
export WINEPREFIX=${WINEPREFIX:-$PWD/$build_dir/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
start_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >/dev/null 2>&1 && wineserver -w || return
  fi
  # The window tests show and close windows and dialogs case after case:
  # unmanaged, a window closes at once, where Wine would wait a second each
  # time for the window manager that this display does not have (and, under
  # load, sometimes far longer). Set before the persistent server starts,
  # whose first test program would otherwise wait on what these commands
  # leave running.
  for program in ui_widgets_win32_test.exe main_window_win32_test.exe platform_contract_win32_test.exe \
                 win32_backend_test.exe; do
    grep -qF "AppDefaults\\\\$program\\\\X11 Driver" "$WINEPREFIX/user.reg" ||
      wine reg add "HKCU\\Software\\Wine\\AppDefaults\\$program\\X11 Driver" /v Managed /d N /f >/dev/null 2>&1 ||
      return
  done
  wineserver -w
  # One persistent server for every test program, rather than one started
  # and stopped for each; its services are started here, with their output
  # detached: started by a test program, they would hold CTest's output pipe
  # open for as long as the server lives.
  wineserver -p && wineboot >/dev/null 2>&1 </dev/null
}
phase "wine prefix" start_wine
status=0
# A case that fails is run once more: under Wine, a window of the desktop
# now and then takes the activation from a test's window (seen in about one
# clean run in five). A fault fails both times; the first failure stays in
# the log.
phase "wine tests" run_ctest "$build_dir" -j 2 --repeat until-pass:2 --timeout 1200 || status=$?
wineserver -k || true
exit "$status"
