#!/usr/bin/env bash
# Installs what is missing, sets up the partner register, builds the program and
# starts it. Prints nothing when everything is ready.
#
#   scripts/run.sh           starts in the user's own folder, $XDG_DATA_HOME/zelk (else
#                            ~/.local/share/zelk), filled with a copy of examples/ the
#                            first time (when it holds no firm list yet); a new partner
#                            register gets the example partners
#   scripts/run.sh FOLDER    starts in FOLDER, where the firm list F_NAME.DAT is kept
#   scripts/run.sh --where [FOLDER]
#                            prepares the folder and the data source as above and prints
#                            the folder; installs, builds and starts nothing
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

where=false
if [ "${1:-}" = "--where" ]; then
  where=true
  shift
fi
if (($# > 1)); then
  echo "usage: scripts/run.sh [--where] [FOLDER]" >&2
  exit 2
fi

$where || "$top/scripts/deps.sh"

setup=("$top/scripts/odbc-setup.sh")
if (($# == 1)); then
  [ -d "$1" ] || { echo "run: no folder \"$1\"" >&2; exit 1; }
  folder=$(cd "$1" && pwd)
else
  folder="${XDG_DATA_HOME:-$HOME/.local/share}/zelk"
  mkdir -p "$folder"
  folder=$(cd "$folder" && pwd)
  if [ ! -e "$folder/F_NAME.DAT" ]; then
    # First start: the example firms and their statements, ready to import.
    cp -R -n "$top/examples/." "$folder/"
    echo "run: copied the example firms into $folder" >&2
  fi
  # The examples' partners go into a register made now, never into one that stands.
  setup+=(--examples)
fi

if ! "${setup[@]}" >&2; then
  echo "run: the partner register (data source \"zlk\") could not be set up; the program is not started" >&2
  exit 1
fi

if $where; then
  echo "$folder"
  exit 0
fi

build=$top/build
log=$build/run-build.log
mkdir -p "$build"
configured=true
[ -e "$build/build.ninja" ] || configured=false
if ! {
  # Said only when there is something to build.
  if ! $configured; then
    echo "run: building the program in $build (the first build takes a few minutes) ..." >&3
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  elif cmake --build "$build" --target zelk -- -n | grep -q -e ' Building ' -e ' Linking '; then
    echo "run: building the program in $build ..." >&3
  fi &&
    cmake --build "$build" --target zelk --parallel "$(nproc)"
} 3>&2 >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "run: the build failed (the whole output is in $log)" >&2
  exit 1
fi

# Qt keeps its runtime files in a folder of the user's own, mode 0700.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  runtime=${TMPDIR:-/tmp}/zelk-runtime-$(id -u)
  mkdir -p -m 700 "$runtime" 2>/dev/null || true
  if [ -d "$runtime" ] && [ ! -L "$runtime" ] && [ -O "$runtime" ]; then
    chmod 700 "$runtime"
  else
    runtime=$(mktemp -d "${TMPDIR:-/tmp}/zelk-runtime-XXXXXX")
  fi
  export XDG_RUNTIME_DIR=$runtime
fi

cd "$folder"
exec "$build/zelk"
