#!/usr/bin/env bash
# Runs the whole test suite against a built tree; starts the services the
# tests talk to on loopback and stops them afterwards.
set -euo pipefail
# Absolute: the script changes into it, and the fuzz build goes beside it.
BUILD=$(cd "$1" && pwd)
ROOT=$(cd "$(dirname "$0")/.." && pwd)
export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"

SERVICES_PID=()
cleanup() { for p in "${SERVICES_PID[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
for svc in "$ROOT"/scripts/service-*.sh; do
  [ -e "$svc" ] || continue
  # shellcheck source=/dev/null
  source "$svc"
done

cd "$BUILD"
rc=0
started=$(mktemp)
# Every test carries its bound (tests/CMakeLists.txt: SPOOLSMITH_TEST_TIMEOUT).
ctest --output-on-failure -j"$(nproc)" || rc=$?

# The whole line's own time per page, every run, beside the load it ran
# under: a figure, not a check (the goal is the benchmarks' business).
figure="$BUILD/bench/results/whole_line.json"
if [ "$figure" -nt "$started" ]; then
  python3 - "$figure" "$(uptime)" <<'PY'
import json, sys
d = json.load(open(sys.argv[1]))
print("whole line: own time per page %.1f ms (goal %s ms, wall %.1f ms per page, %d pages); load average%s"
      % (d["own_ms_per_page"], d.get("goal_ms", "?"), d.get("wall_ms_per_page", 0), d.get("pages", 0),
         sys.argv[2].split("load average", 1)[-1].lstrip("s")))
PY
else
  echo "whole line: no figure written this run ($figure); $(uptime)"
fi
rm -f "$started"
[ "$rc" -eq 0 ] || exit "$rc"

# Fuzz targets run bounded, under ASan, in a clang build of their own.
if [ -n "$(ls -d "$ROOT"/fuzz/*/ 2>/dev/null)" ]; then
  bash "$ROOT/scripts/run-fuzz.sh" "$BUILD-fuzz"
fi

# The same suite once more under AddressSanitizer and UBSan: a memory fault
# that happens to pass in the plain build must not land.
if [ "${SPOOLSMITH_SKIP_ASAN:-0}" != 1 ]; then
  cmake -S "$ROOT" -B "$BUILD-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSPOOLSMITH_SANITIZE=ON \
    -DSPOOLSMITH_BENCH=OFF -DBUILD_TESTING=ON >/dev/null
  cmake --build "$BUILD-asan" -j"$(nproc)"
  # The same OCR models, so the OCR paths run sanitised too instead of skipping.
  if [ -d "$BUILD/bin/models" ] && [ ! -e "$BUILD-asan/bin/models" ]; then
    ln -s "$BUILD/bin/models" "$BUILD-asan/bin/models"
  fi
  (cd "$BUILD-asan" && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$(nproc)")
fi
