#!/usr/bin/env bash
# Photographs the advertisement window over the main window under Xvfb, in a
# program folder of its own laid out like the real one.
#   carousel_shot.sh <shot program> <program folder of the build> <output folder>
set -euo pipefail
SHOT=$1
BIN=$2
OUT=$3
dir="$OUT/program-carousel"
rm -rf "$dir"
mkdir -p "$dir"
cp "$SHOT" "$dir/spoolsmith"
ln -s "$BIN/translations" "$dir/translations"
ln -s "$BIN/Spoolsmith" "$dir/Spoolsmith"
# No server address: the program's own online start stays idle.
printf '[Spoolsmith]\nLanguage=0\n' > "$dir/config.ini"
rm -f "$OUT/carousel_over_main_window.png"
for attempt in 1 2 3; do
  if (cd "$dir" && SPOOLSMITH_INSTANCE_KEY="Spoolsmith.exe-carousel-$$" SPOOLSMITH_SHOT="$OUT/carousel_over_main_window.png" \
      QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" ./spoolsmith); then
    break
  fi
  echo "attempt $attempt failed; retrying"
  sleep 2
done
test -s "$OUT/carousel_over_main_window.png"
echo "wrote $OUT/carousel_over_main_window.png"
