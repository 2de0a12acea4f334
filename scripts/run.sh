#!/usr/bin/env bash
# Installs what is missing, builds, and starts the memo book.
#   scripts/run.sh                    in a window on this desktop
#   scripts/run.sh --virtual-display  on a private virtual X display (Xvfb),
#                                     for machines without a screen; saves a
#                                     screenshot and keeps the program running
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
build_dir=${TARNWICK_BUILD_DIR:-build}
program="$build_dir/app/tarnwick"
if [ ! -x "$program" ]; then
  echo "The memo book's window is not built yet; the engine tool is at $build_dir/tools/edbtool/edbtool."
  exit 0
fi

if [ "${1:-}" != "--virtual-display" ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat <<MESSAGE
There is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the
memo book has no screen to open its window on. To run it on a virtual display
and look at it:

    scripts/run.sh --virtual-display

This starts Xvfb, starts the memo book on it, saves a screenshot to
$build_dir/tarnwick-screen.png (run 'import -display :N -window root shot.png'
for another one, with the display number it prints) and keeps running until
Ctrl+C.
MESSAGE
    exit 1
  fi
  exec "$program"
fi

# A display of its own: Xvfb picks a free number and reports it.
exec {ready}<> <(:)
Xvfb -displayfd "$ready" -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null &
server=$!
read -r -t 15 number <&"$ready" || { echo "Xvfb did not start."; kill "$server" 2>/dev/null; exit 1; }
trap 'kill "$program_pid" "$server" 2>/dev/null || true' EXIT INT TERM
display=":$number"
DISPLAY=$display QT_QPA_PLATFORM=xcb "$program" &
program_pid=$!
for _ in $(seq 1 100); do
  DISPLAY=$display xdotool search --name '^Tarnwick' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1  # let the first paint land
DISPLAY=$display import -window root "$build_dir/tarnwick-screen.png"
echo "The memo book runs on the virtual display $display; screenshot: $build_dir/tarnwick-screen.png"
echo "Move the pointer or press keys there with e.g. 'DISPLAY=$display xdotool mousemove 100 100'. Ctrl+C stops it."
wait "$program_pid"
