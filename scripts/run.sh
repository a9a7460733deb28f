#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
#
#   scripts/run.sh           starts in the user's own folder, $XDG_DATA_HOME/zelk (else
#                            ~/.local/share/zelk), filled with a copy of examples/ the
#                            first time (when it holds no firm list yet)
#   scripts/run.sh FOLDER    starts in FOLDER, where the firm list F_NAME.DAT is kept
#   scripts/run.sh --where [FOLDER]
#                            prepares the folder as above and prints it; builds and starts
#                            nothing
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
fi

if $where; then
  echo "$folder"
  exit 0
fi

"$top/scripts/deps.sh"
log="$top/build/run-build.log"
mkdir -p "$top/build"
echo "run: building the program in $top/build (the first build takes a few minutes) ..." >&2
if ! { cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build "$top/build" --target zelk --parallel "$(nproc)"; } >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "run: the build failed (the whole output is in $log)" >&2
  exit 1
fi
"$top/scripts/odbc-setup.sh" || echo "run: the data source \"zlk\" is not ready (see above)" >&2
cd "$folder"
exec "$top/build/zelk"
