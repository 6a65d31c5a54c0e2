#!/usr/bin/env bash
# Photographs the main window in Chinese and in English under Xvfb. Each
# language runs in a program folder of its own, laid out like the real one.
#   main_window_shot.sh <shot program> <program folder of the build> <output folder>
set -euo pipefail
SHOT=$1
BIN=$2
OUT=$3
mkdir -p "$OUT"
for lang in zh:0 en:1; do
  name=${lang%%:*}
  code=${lang##*:}
  dir="$OUT/program-$name"
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$SHOT" "$dir/spoolsmith"
  ln -s "$BIN/translations" "$dir/translations"
  ln -s "$BIN/Spoolsmith" "$dir/Spoolsmith"
  printf '[Spoolsmith]\nLanguage=%s\n' "$code" > "$dir/config.ini"
  rm -f "$OUT/main_window_$name.png"
  # A segment of our own: other runs of the program on this machine must not
  # refuse this one. xvfb-run can still fail to find a free display: retry.
  for attempt in 1 2 3; do
    if (cd "$dir" && SPOOLSMITH_INSTANCE_KEY="Spoolsmith.exe-shot-$$" SPOOLSMITH_SHOT="$OUT/main_window_$name.png" QT_QPA_PLATFORM=xcb \
        xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" ./spoolsmith); then
      break
    fi
    echo "attempt $attempt failed; retrying"
    sleep 2
  done
  test -s "$OUT/main_window_$name.png"
  echo "wrote $OUT/main_window_$name.png"
done
