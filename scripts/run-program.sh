#!/usr/bin/env bash
# Starts the program from its own folder, as operators do. With no machine
# configured (no Spoolsmith/Ident in config.ini), a simulated machine runs on
# 127.0.0.1 for as long as the program does.
set -euo pipefail
BUILD=$1
cd "$BUILD/bin"

configured_ident() {
  [ -f config.ini ] || return 0
  awk -F= '
    /^\[/ { section = $0; next }
    section == "[Spoolsmith]" && $1 ~ /^[ \t]*Ident[ \t]*$/ {
      v = substr($0, index($0, "=") + 1); gsub(/^[ \t]+|[ \t]+$/, "", v); print v; exit
    }' config.ini
}

SIM_PID=""
stop_simulator() { if [ -n "$SIM_PID" ]; then kill "$SIM_PID" 2>/dev/null || true; wait "$SIM_PID" 2>/dev/null || true; fi; }
if [ -z "$(configured_ident)" ] && [ -x ./spoolsmith-sim ]; then
  ./spoolsmith-sim --address 127.0.0.1 &
  SIM_PID=$!
  trap stop_simulator EXIT
  echo "No machine configured: simulated machine on 127.0.0.1:9100 (pid $SIM_PID)"
fi

status=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" ./spoolsmith || status=$?
else
  ./spoolsmith || status=$?
fi
exit $status
