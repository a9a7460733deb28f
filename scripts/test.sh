#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in an optimised build
# and once under AddressSanitizer and UndefinedBehaviorSanitizer; then every fuzz
# target for about a minute. Every stage runs even when one before it failed. The
# last line is the verdict, "test.sh: N passed, N failed" (a test, a fuzz target, or
# a build that failed, each counts one), preceded by what failed; the exit status is
# 0 only when nothing failed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
# The ODBC tests run against a private PostgreSQL server too, started around this run.
[ -n "${ZELK_TEST_PG_DSN:-}" ] || exec "$top/scripts/pg-test-server.sh" "$top/scripts/test.sh" "$@"

export QT_QPA_PLATFORM=offscreen
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_RUNTIME_DIR=$scratch/runtime XDG_CONFIG_HOME=$scratch/config
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"

passed=0 failed=0 skipped=0
failures=()

# tests <what> <build folder> [cmake options]: builds, then runs its tests.
tests() {
  local what=$1 dir=$2 log=$scratch/ctest.log
  shift 2
  if ! "$top/scripts/build.sh" "$dir" "$@"; then
    failed=$((failed + 1))
    failures+=("the $what build")
    return
  fi
  local status=0
  (cd "$dir" && ctest --output-on-failure --parallel "$(nproc)") 2>&1 | tee "$log" || status=$?
  # "100% tests passed, 0 tests failed out of 812"; the skipped ones are among the passed.
  local summary
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -z "$summary" ]; then
    failed=$((failed + 1))
    failures+=("the $what tests (ctest ended without its summary)")
    return
  fi
  local bad all skip
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
  all=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$summary")
  skip=$(grep -c '(Skipped)$' "$log" || true)
  passed=$((passed + all - bad - skip))
  failed=$((failed + bad))
  skipped=$((skipped + skip))
  if ((bad > 0 || status != 0)); then
    ((bad > 0)) || failed=$((failed + 1))
    failures+=("the $what tests ($bad of $all failed)")
  fi
}

tests optimised "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
tests "ASan+UBSan" "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DZELK_SANITIZE=ON

# Bad input on purpose: every fuzz target for about a minute (all at once).
status=0
"$top/scripts/fuzz.sh" 60 2>&1 | tee "$scratch/fuzz.log" || status=$?
clean=$(grep -c '^fuzz: .* clean ' "$scratch/fuzz.log" || true)
broken=$(grep -c '^fuzz: .* FAILED' "$scratch/fuzz.log" || true)
passed=$((passed + clean))
failed=$((failed + broken))
if ((broken > 0)); then
  failures+=("fuzzing ($broken of $((clean + broken)) targets failed)")
elif ((status != 0)); then
  failed=$((failed + 1))
  failures+=("fuzzing (the fuzz targets did not build or run)")
fi

echo
if ((${#failures[@]})); then
  joined=$(printf '; %s' "${failures[@]}")
  echo "test.sh: FAILED: ${joined:2}"
fi
echo "test.sh: $passed passed, $failed failed, $skipped skipped"
((failed == 0))
