#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in an optimised build
# and once under AddressSanitizer and UndefinedBehaviorSanitizer.
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

"$top/scripts/build.sh" "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd "$top/build" && ctest --output-on-failure --parallel "$(nproc)")

"$top/scripts/build.sh" "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DZELK_SANITIZE=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$top/build-asan" && ctest --output-on-failure --parallel "$(nproc)")

# Bad input on purpose: every fuzz target for about a minute (all at once).
"$top/scripts/fuzz.sh" 60
