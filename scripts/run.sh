#!/usr/bin/env bash
# Installs what is missing, builds, and starts the memo book.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
build_dir=${TARNWICK_BUILD_DIR:-build}
if [ ! -x "$build_dir/app/tarnwick" ]; then
  echo "The memo book's window is not built yet; the engine tool is at $build_dir/tools/edbtool/edbtool."
  exit 0
fi
exec "$build_dir/app/tarnwick"
