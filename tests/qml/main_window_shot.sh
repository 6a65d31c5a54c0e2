#!/usr/bin/env bash
# Photographs the program in Chinese and in English under Xvfb. Each
# language runs in a program folder of its own, laid out like the real one.
#   main_window_shot.sh <shot program> <program folder of the build> <output folder> [name] [screen] [settings]
# The pictures are <output folder>/<name>_<zh|en>.png (name "main_window" unless
# given), on a screen of the given size (1280x800x24 unless given); settings
# are further "key=value" lines of the section [Spoolsmith] of config.ini.
# The shot program's exit code 4 (a fault it found in the picture) fails at once.
set -euo pipefail
SHOT=$1
BIN=$2
OUT=$3
NAME=${4:-main_window}
SCREEN=${5:-1280x800x24}
SETTINGS=${6:-}
mkdir -p "$OUT"
for lang in zh:0 en:1; do
  name=${lang%%:*}
  code=${lang##*:}
  dir="$OUT/program-$NAME-$name"
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$SHOT" "$dir/spoolsmith"
  ln -s "$BIN/translations" "$dir/translations"
  ln -s "$BIN/Spoolsmith" "$dir/Spoolsmith"
  printf '[Spoolsmith]\nLanguage=%s\n%s\n' "$code" "$SETTINGS" > "$dir/config.ini"
  rm -f "$OUT/${NAME}_$name"*.png
  # A segment of our own: other runs of the program on this machine must not
  # refuse this one. xvfb-run can still fail to find a free display: retry.
  for attempt in 1 2 3; do
    rc=0
    (cd "$dir" && SPOOLSMITH_INSTANCE_KEY="Spoolsmith.exe-shot-$$" SPOOLSMITH_SHOT="$OUT/${NAME}_$name.png" QT_QPA_PLATFORM=xcb \
        xvfb-run -a -s "-screen 0 $SCREEN -nolisten tcp" ./spoolsmith) || rc=$?
    if [ $rc -eq 0 ]; then
      break
    fi
    if [ $rc -eq 4 ]; then
      echo "the pictures show a fault"
      exit 4
    fi
    echo "attempt $attempt failed; retrying"
    sleep 2
  done
  # A picture left by a failed attempt is no success.
  if [ $rc -ne 0 ]; then
    echo "the shot program failed with code $rc"
    exit 1
  fi
  test -s "$OUT/${NAME}_$name.png"
  echo "wrote $OUT/${NAME}_$name.png"
done
