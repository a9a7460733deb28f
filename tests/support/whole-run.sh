#!/bin/sh
# Runs a test program and fails when it ends before GoogleTest has finished its run:
# a process that stops in the middle of a test (the fatal stop exits with status 0)
# must not count as passed. GoogleTest removes the marker file when its run ends.
marker="${TMPDIR:-/tmp}/zelk-test-run.$$"
rm -f "$marker"
TEST_PREMATURE_EXIT_FILE="$marker" "$@"
status=$?
if [ -e "$marker" ]; then
  rm -f "$marker"
  if [ "$status" -eq 0 ]; then
    echo "the test program ended before its test did" >&2
    status=1
  fi
fi
exit "$status"
