#!/usr/bin/env bash
# Runs the whole test suite against a built tree; starts the services the
# tests talk to on loopback and stops them afterwards.
set -euo pipefail
BUILD=$1
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
ctest --output-on-failure -j"$(nproc)" --timeout 600

# Fuzz targets run bounded, under ASan, in a clang build of their own.
if [ -n "$(ls -d "$ROOT"/fuzz/*/ 2>/dev/null)" ]; then
  bash "$ROOT/scripts/run-fuzz.sh" "$BUILD-fuzz"
fi
