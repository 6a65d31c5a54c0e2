#!/usr/bin/env bash
# Runs every benchmark of a built tree and prints its figures.
set -euo pipefail
BUILD=${1:-$(cd "$(dirname "$0")/.." && pwd)/build}
export QT_QPA_PLATFORM=offscreen
cmake --build "$BUILD" --target bench_all
for b in "$BUILD"/bench/bin/*; do
  echo "== $(basename "$b")"
  "$b" "${@:2}"
done
