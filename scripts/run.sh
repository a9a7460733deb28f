#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it in the current folder.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh" "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
"$top/scripts/odbc-setup.sh" || echo "run: the data source \"zlk\" is not ready (see above)" >&2
exec "$top/build/zelk"
