#!/usr/bin/env bash
# Every user text of the program has its English entry. lupdate reads the
# sources into a copy of the translation: an entry it leaves unfinished is a
# text that would show in Chinese in the English interface. The translation
# itself must hold no unfinished entry either.
#   check_translations.sh <lupdate> <translation .ts> <source root>
set -euo pipefail
LUPDATE=$1
TS=$2
ROOT=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

dirs=()
for d in app settings machine vision online qml core platform; do
  if [ -d "$ROOT/$d" ]; then dirs+=("$ROOT/$d"); fi
done
cp "$TS" "$work/check.ts"
"$LUPDATE" -silent -locations none -I "$ROOT" "${dirs[@]}" -ts "$work/check.ts"

# Prints "<context> | <source>" for each unfinished entry of a .ts file.
unfinished() {
  awk '
    /<name>/       { sub(/.*<name>/, ""); sub(/<\/name>.*/, ""); context = $0 }
    /<source>/     { source = $0; sub(/.*<source>/, "", source); sub(/<\/source>.*/, "", source) }
    /type="unfinished"/ { print context " | " source }
  ' "$1"
}

status=0
missing=$(unfinished "$work/check.ts")
if [ -n "$missing" ]; then
  echo "Texts without an English entry in $(basename "$TS") (add them and run lupdate):"
  echo "$missing"
  status=1
fi
# A Chinese text in the C++ sources that is neither marked for translation nor
# a log line would reach the operator untranslated.
bare=$(grep -rnP --include='*.cpp' --include='*.h' '"[^"]*[\x{4e00}-\x{9fff}][^"]*"' "${dirs[@]}" \
  | grep -vP '\btr\(|translate\(|QT_TRANSLATE_NOOP|QT_TR_NOOP|\bq(Info|Debug|Warning|Critical|Fatal)\b|^[^:]*:[0-9]+:\s*//' || true)
if [ -n "$bare" ]; then
  echo "Chinese texts not marked for translation (wrap them in QCoreApplication::translate, or log them):"
  echo "$bare"
  status=1
fi
open=$(unfinished "$TS")
if [ -n "$open" ]; then
  echo "Unfinished entries in $(basename "$TS"):"
  echo "$open"
  status=1
fi
if [ $status -eq 0 ]; then
  echo "every user text has its English entry"
fi
exit $status
