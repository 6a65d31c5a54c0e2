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
  echo "== fuzzing $name for ${SECONDS_EACH}s"
  ASAN_OPTIONS=detect_leaks=0 "$target" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 \
    -artifact_prefix="$work/" "$work" "${seeds[@]}" 2>&1 | tail -5
  rm -rf "$work"
done
