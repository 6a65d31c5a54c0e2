#!/usr/bin/env bash
# Runs a test program on an X display of its own: Xvfb picks a free display
# number itself (-displayfd), so parallel runs never collide, and the server
# is stopped when the program ends.
#   run_on_xvfb.sh <program> [arguments...]     screen: XVFB_SCREEN (1280x800x24)
set -uo pipefail
dir=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
mkfifo "$dir/display"
Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1280x800x24}" -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
# A minute: a hang only, as the tests' kHangMs.
if ! read -r -t 60 number <"$dir/display" || [ -z "$number" ]; then
  echo "Xvfb did not start:" >&2
  cat "$dir/xvfb.log" >&2
  exit 1
fi
DISPLAY=":$number" QT_QPA_PLATFORM=xcb "$@"
