#!/usr/bin/env bash
# Starts the program from its own folder, as operators do.
set -euo pipefail
BUILD=$1
cd "$BUILD/bin"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" ./spoolsmith
fi
exec ./spoolsmith
