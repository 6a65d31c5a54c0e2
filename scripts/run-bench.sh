#!/usr/bin/env bash
# Runs every benchmark of a built tree (BENCH_ONLY="bench_marks bench_hpgl"
# picks some). Their full output goes to bench/last-run.log in the build
# tree; the goal figures end in one table: figure, value, goal, baseline,
# ratio (value / baseline), met. The load average is printed beside it, as
# the figures depend on what else the machine runs.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
export QT_QPA_PLATFORM=offscreen
cmake --build "$BUILD" --target bench_all >/dev/null
LOG="$BUILD/bench/last-run.log"
: > "$LOG"
failed=()
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for b in "$BUILD"/bench/bin/bench_*; do
  name=$(basename "$b")
  if [[ -n "${BENCH_ONLY:-}" && " $BENCH_ONLY " != *" $name "* ]]; then
    continue
  fi
  echo "== $name" >> "$LOG"
  # A window's first frame is timed on a real X server, not offscreen.
  wrap=()
  if [[ $name == bench_startup ]] && command -v Xvfb >/dev/null; then
    wrap=(bash "$ROOT/tests/run_on_xvfb.sh")
  fi
  if ! "${wrap[@]}" "$b" "${@:2}" >> "$LOG" 2>&1; then
    failed+=("$name")
  fi
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
echo "load average $load_before (start), $load_after (end) on $(nproc) cores; full output: $LOG"
{
  printf 'figure\tvalue\tgoal\tbaseline\tratio\tmet\n'
  grep -h '^ROW' "$LOG" | cut -f2-
} | column -t -s $'\t'
if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}" >&2
  exit 1
fi
