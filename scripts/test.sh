#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; then
# builds and runs the tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer (scripts/test-sanitized.sh, its own build folder).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
build_dir=${TARNWICK_BUILD_DIR:-build}
ctest --test-dir "$build_dir" --output-on-failure -j 2 --timeout 1200
bash scripts/test-windows.sh
bash scripts/test-sanitized.sh
bash scripts/test-fuzz.sh
