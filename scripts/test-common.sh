# Shared by the test scripts (sourced): the compiler launcher, timed phases,
# and CTest runs that tell what was skipped.

# TARNWICK_COMPILER_LAUNCHER (for example ccache) is passed to every build folder.
launcher_options=()
if [ -n "${TARNWICK_COMPILER_LAUNCHER:-}" ]; then
  launcher_options=(-DCMAKE_C_COMPILER_LAUNCHER="$TARNWICK_COMPILER_LAUNCHER"
                    -DCMAKE_CXX_COMPILER_LAUNCHER="$TARNWICK_COMPILER_LAUNCHER")
fi

# The test scripts take an optional step: "build" only builds, "run" only
# runs what was built; without one they do both. (scripts/test.sh builds
# some folders while the tests of others run.)
test_step=${1:-all}
case "$test_step" in
  all | build | run) ;;
  *) echo "$0: unknown step '$test_step' (build or run)" >&2; exit 2 ;;
esac

# Sets cpu_seconds to the CPU seconds (user + system) of this shell's
# finished child processes (`times` in this shell: in a command substitution
# it would count the subshell's).
read_children_cpu_seconds() {
  local file
  file=$(mktemp)
  times >"$file"
  cpu_seconds=$(awk 'NR == 2 { for (i = 1; i <= 2; i++) { split($i, part, "m"); total += part[1] * 60 + part[2] } printf "%.0f", total }' "$file")
  rm -f "$file"
}

# phase NAME command...: runs the command and reports its wall time and CPU
# time. The command runs where a failure does not end the script (as in
# `if`), so a function given to it chains its steps with &&. The CPU
# time (the CPU time does not depend on what else the machine is doing). The
# reports are also appended to TARNWICK_PHASE_LOG when it names a file.
phase() {
  local name=$1
  shift
  local started=$SECONDS cpu_seconds cpu_before status=0
  read_children_cpu_seconds
  cpu_before=$cpu_seconds
  "$@" || status=$?
  read_children_cpu_seconds
  local line
  line=$(printf '%-24s %5d s wall %6d s CPU' "$name" $((SECONDS - started)) $((cpu_seconds - cpu_before)))
  echo "[phase] $line" >&2
  [ -z "${TARNWICK_PHASE_LOG:-}" ] || echo "$line" >>"$TARNWICK_PHASE_LOG"
  return "$status"
}

# run_ctest FOLDER [ctest option...]: every registered test of the folder.
# A skipped test is listed; with TARNWICK_NO_SKIP=1 (CI sets it) it fails the
# run, since a test skips only for a missing tool, font or display, which the
# set-up should have provided.
run_ctest() {
  local folder=$1
  shift
  local log status=0
  log=$(mktemp)
  ctest --test-dir "$folder" --output-on-failure --no-tests=error "$@" 2>&1 | tee "$log" || status=$?
  if grep -q '(Skipped)' "$log" && [ "${TARNWICK_NO_SKIP:-0}" = 1 ]; then
    echo "Skipped tests fail this run (TARNWICK_NO_SKIP=1):" >&2
    grep '(Skipped)' "$log" >&2
    [ "$status" -ne 0 ] || status=1
  fi
  rm -f "$log"
  return "$status"
}
