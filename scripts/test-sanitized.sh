#!/usr/bin/env bash
# Builds the unit and behaviour tests (everything that runs on the headless
# backend, and what differs per operating system) with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-sanitize/ and runs them. Any finding
# fails its test: ASan stops at the first error, UBSan is built without
# recovery, and LeakSanitizer fails a test that leaks.
#
# clang without optimisation: the sanitizers find the same faults, and it
# compiles about ten times faster than an optimised g++ build with them.
# The desktop tests (Qt, X, the installed program) run in the plain build.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/test-common.sh
build_dir=${TARNWICK_SANITIZE_BUILD_DIR:-build-sanitize}
configure_and_build() {
  CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O0 -gline-tables-only -DNDEBUG" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O0 -gline-tables-only -DNDEBUG" \
    -DTARNWICK_SANITIZE=ON -DTARNWICK_WITH_QT=OFF -DTARNWICK_WITH_BENCH=OFF \
    -DTARNWICK_TEST_KINDS="portable;system" "${launcher_options[@]}" >/dev/null &&
    cmake --build "$build_dir" -j 2
}
[ "$test_step" = run ] || phase "sanitized build" configure_and_build
[ "$test_step" != build ] || exit 0
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Leaks inside system libraries, each with its reason, in scripts/lsan.supp.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
phase "sanitized tests" run_ctest "$build_dir" -j 2 --timeout 2400
