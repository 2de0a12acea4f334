#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang into build-fuzz/, only
# them and the sources they instrument, and runs each briefly over its
# committed corpus: the corpus replayed, then new inputs until each target
# has run TARNWICK_FUZZ_RUNS times or for TARNWICK_FUZZ_SECONDS. A crash,
# a sanitizer finding, a leak or a broken check fails the command; the input
# that caused it is left in build-fuzz/fuzz/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/test-common.sh
build_dir=${TARNWICK_FUZZ_BUILD_DIR:-build-fuzz}
configure_and_build() {
  CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARNWICK_WITH_FUZZ=ON -DTARNWICK_WITH_QT=OFF -DTARNWICK_WITH_BENCH=OFF -DTARNWICK_TEST_KINDS=fuzz \
    "${launcher_options[@]}" >/dev/null &&
    cmake --build "$build_dir" -j 2 --target fuzz_targets
}
[ "$test_step" = run ] || phase "fuzz build" configure_and_build
[ "$test_step" != build ] || exit 0
phase "fuzz runs" run_ctest "$build_dir" -j 2 --timeout 600 -L fuzz
