#!/usr/bin/env bash
# Starts the program from its own folder, as operators do. With no machine
# configured (no Spoolsmith/Ident in config.ini, or the simulator's own), a
# simulated machine runs on 127.0.0.1 for as long as the program does,
# including the restart after the first machine is found.
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

SIM_IDENT=AB07X3Q9
SIM_PID=""
XVFB_PID=""
stop_all() {
  for p in $SIM_PID $XVFB_PID; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
}
trap stop_all EXIT
ident=$(configured_ident)
if { [ -z "$ident" ] || [ "$ident" = "$SIM_IDENT" ]; } && [ -x ./spoolsmith-sim ]; then
  ./spoolsmith-sim --address 127.0.0.1 --ident "$SIM_IDENT" &
  SIM_PID=$!
  echo "No machine configured: simulated machine on 127.0.0.1:9100 (pid $SIM_PID)"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # A display of our own that outlives a restart of the program.
  for n in $(seq 90 120); do [ -e "/tmp/.X$n-lock" ] || break; done
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  sleep 1
fi

status=0
./spoolsmith || status=$?
# Exit code 777 restarts the program detached; stay while it runs.
while pgrep -f "^$(pwd)/spoolsmith( |$)" >/dev/null; do sleep 1; done
exit $status
