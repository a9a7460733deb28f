#!/usr/bin/env bash
# Configures and builds one configuration: scripts/build.sh <build folder> [cmake options]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
cmake -S "$top" -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" --parallel "$(nproc)"
