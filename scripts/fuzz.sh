#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/*_fuzz.cpp) with clang-14, libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer, and runs each for a bounded time, all at once:
#   scripts/fuzz.sh [seconds per target, default 60]
# Each target starts from its seeds: the examples and every input in
# tests/fixtures/fuzz/<target>/. An input that makes a target fail is kept in
# <build>/artifacts/<target>/ and the script fails; copy the input into
# tests/fixtures/fuzz/<target>/ so the tests replay it for good (test_import).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
dir=${ZELK_FUZZ_BUILD:-$top/build-fuzz}

"$top/scripts/deps.sh" clang-14 libclang-rt-14-dev

CC=clang-14 CXX=clang++-14 cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZELK_FUZZ=ON >/dev/null
cmake --build "$dir" --target fuzz_all --parallel "$(nproc)"

# The seeds of a target: its fixtures, and the example files of its kind.
seeds() {
  local name=$1 out=$2
  mkdir -p "$out"
  [ -d "$top/tests/fixtures/fuzz/$name" ] && cp "$top/tests/fixtures/fuzz/$name"/* "$out"/ 2>/dev/null || true
  case $name in
    loko) cp "$top/examples/loko/vypiska.txt" "$out/example" ;;
    bss) cp "$top/examples/bss/vypiska.txt" "$out/example" ;;
    text_read) cp "$top/examples/loko/vypiska.txt" "$out/loko"; cp "$top/examples/bss/vypiska.txt" "$out/bss" ;;
    rfk) cp "$top/examples/rfk/subs_clt.dbf" "$out/example" ;;
    dbase_open) cp "$top/examples/rfk/subs_clt.dbf" "$out/subs_clt"; cp "$top/examples/loko/dbi.dbf" "$out/dbi" ;;
  esac
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
pids=()
names=()
for exe in "$dir"/fuzz/*_fuzz; do
  [ -x "$exe" ] || continue
  target=$(basename "$exe")
  name=${target%_fuzz}
  corpus=$dir/corpus/$name
  artifacts=$dir/artifacts/$name
  rm -rf "$dir/seeds/$name"
  seeds "$name" "$dir/seeds/$name"
  mkdir -p "$corpus" "$artifacts"
  "$exe" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" "$dir/seeds/$name" >"$dir/fuzz-$name.log" 2>&1 &
  pids+=($!)
  names+=("$name")
done

status=0
for i in "${!pids[@]}"; do
  name=${names[$i]}
  if wait "${pids[$i]}"; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$dir/fuzz-$name.log" | grep -o '[0-9]*$' || echo "?")
    echo "fuzz: $name clean ($runs inputs in ${seconds}s)"
  else
    status=1
    echo "fuzz: $name FAILED; inputs kept in $dir/artifacts/$name/; log $dir/fuzz-$name.log:"
    tail -n 40 "$dir/fuzz-$name.log"
  fi
done
exit $status
