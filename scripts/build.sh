#!/usr/bin/env bash
# Configures and builds everything (program, tools, tests, benchmarks) into
# build/; options are passed on to CMake (scripts/test.sh builds only the
# tests it runs there: -DTARNWICK_TEST_KINDS=desktop).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build_dir=${TARNWICK_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
cmake --build "$build_dir" -j 2
