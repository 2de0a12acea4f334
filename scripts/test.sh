#!/usr/bin/env bash
# The whole test, each build folder building only what it runs:
#   build/           the program, the tools, the benchmarks (built, not run)
#                    and the desktop tests: Qt, the X display end to end (the
#                    Windows program's under Wine too), the installed program;
#                    then the Debian package made from it and checked
#   build-windows/   the Windows program and the tests of what differs on
#                    Windows, run under Wine (scripts/test-windows.sh)
#   build-sanitize/  the unit and behaviour tests under AddressSanitizer and
#                    UndefinedBehaviorSanitizer (scripts/test-sanitized.sh)
#   build-fuzz/      the fuzz targets, each run briefly (scripts/test-fuzz.sh)
# The sanitized and fuzz folders are built at the lowest priority from the
# start, in what the other builds leave of the processors (their links and
# last steps use one) and while the desktop and Wine tests wait on displays
# and Wine.
# Each phase reports its wall and CPU time; a summary ends the run.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/test-common.sh
export TARNWICK_PHASE_LOG=${TARNWICK_PHASE_LOG:-$(mktemp)}
: >"$TARNWICK_PHASE_LOG"
summary() { echo "Phases:"; cat "$TARNWICK_PHASE_LOG"; }
trap summary EXIT
started=$SECONDS

phase "installs" bash scripts/setup.sh
background_log=$(mktemp)
(nice -n 19 bash scripts/test-sanitized.sh build && nice -n 19 bash scripts/test-fuzz.sh build) \
  >"$background_log" 2>&1 &
background_builds=$!

build_dir=${TARNWICK_BUILD_DIR:-build}
phase "plain build" bash scripts/build.sh -DTARNWICK_TEST_KINDS=desktop "${launcher_options[@]}"
# The Windows program is built here, before the desktop tests run it.
bash scripts/test-windows.sh build

bash scripts/test-windows.sh run
phase "plain tests" run_ctest "$build_dir" -j 2 --timeout 1200

package_dir=$build_dir/package
rm -rf "$package_dir"
# (Run by phase, where a function's failing command does not end the script.)
check_package() {
  bash scripts/package.sh --from-build "$build_dir" "$package_dir" &&
    bash packaging/tests/check_debian_package.sh "$package_dir"/tarnwick_*.deb .
}
phase "package check" check_package

if ! wait "$background_builds"; then
  cat "$background_log"
  echo "The sanitized or fuzz build failed." >&2
  exit 1
fi
grep '^\[phase\]' "$background_log" >&2 || true
rm -f "$background_log"
bash scripts/test-sanitized.sh run
bash scripts/test-fuzz.sh run
echo "All tests passed in $((SECONDS - started)) s."
