#!/usr/bin/env bash
# Builds the fuzz targets with clang (ASan + libFuzzer) and runs each for a
# bounded time. Seeds come from fuzz/<target>/corpus when present.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build-fuzz}
SECONDS_EACH=${FUZZ_SECONDS:-30}
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSPOOLSMITH_FUZZ=ON -DBUILD_TESTING=OFF -DSPOOLSMITH_BENCH=OFF >/dev/null
cmake --build "$BUILD" --target fuzz_all -j"$(nproc)"
shopt -s nullglob
for target in "$BUILD"/fuzz/bin/*; do
  name=$(basename "$target")
  work=$(mktemp -d)
  seeds=()
  [ -d "$ROOT/fuzz/$name/corpus" ] && seeds+=("$ROOT/fuzz/$name/corpus")
  # A target may bound its input length (fuzz/<target>/max_len): past the
  # buffers it exercises, longer inputs only slow every run down.
  options=()
  [ -f "$ROOT/fuzz/$name/max_len" ] && options+=("-max_len=$(cat "$ROOT/fuzz/$name/max_len")")
  echo "== fuzzing $name for ${SECONDS_EACH}s"
  # Memory stays flat only with both bounds below. ASan records the stack of
  # every allocation, walking frame pointers; Qt is built without them, so
  # the walk picks up stray stack words and nearly every record is new: the
  # record store grew without end (and every run slowed with it). One frame
  # is recorded instead; a fault's own stack is still unwound in full. And
  # ASan keeps 256 MB of freed blocks by default; 32 MB still catches use
  # after free.
  ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=32:malloc_context_size=1 "$target" -max_total_time="$SECONDS_EACH" \
    -rss_limit_mb=2048 "${options[@]}" -artifact_prefix="$work/" "$work" "${seeds[@]}" 2>&1 | tail -5
  rm -rf "$work"
done
