#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-sanitize/ and runs the tests there.
# Any finding fails its test: ASan stops at the first error, UBSan is built
# without recovery, and LeakSanitizer fails a test that leaks.
#
# Left out:
# - tarnwick_e2e_test, search_protect_e2e_test: start the whole program under
#   Xvfb and are the slowest tests by far; the flows they drive run headless,
#   sanitized, in memo_test, search_test and protect_test.
# - installed_program_test, debian_package_test: install and package the
#   program and test the files laid out, not the code.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${TARNWICK_SANITIZE_BUILD_DIR:-build-sanitize}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_SANITIZE=ON \
  -DTARNWICK_WITH_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j 2
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Leaks inside system libraries, each with its reason, in scripts/lsan.supp.
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
ctest --test-dir "$build_dir" --output-on-failure -j 2 --timeout 2400 \
  -E '^(tarnwick_e2e_test|search_protect_e2e_test|installed_program_test|debian_package_test)$'
