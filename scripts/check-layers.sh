#!/usr/bin/env bash
# check-layers.sh: every folder includes only from its own top folder or from a floor below.
#   floor 0: talkdata      (files and formats)
#   floor 1: lookup audio  (searches and name lists; coding, wave files, sound)
#   floor 2: workbench pack (the document and its commands; the unpacked folder)
#   floor 3: tools ui      (voxtool; the desktop program)
# Folders on one floor do not include each other, and nothing below ui includes Qt. Prints
# every breach as "file:line: text" and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A floor=([talkdata]=0 [lookup]=1 [audio]=1 [workbench]=2 [pack]=2 [tools]=3 [ui]=3)
breaches=0

while IFS= read -r file; do
  top=${file%%/*}
  [ -n "${floor[$top]:-}" ] || continue
  while IFS=: read -r line text; do
    target=$(sed -E 's/^#include "([^/"]+)\/.*/\1/' <<<"$text")
    [ -n "${floor[$target]:-}" ] || continue
    if [ "$target" != "$top" ] && [ "${floor[$target]}" -ge "${floor[$top]}" ]; then
      echo "$file:$line: $text (floor ${floor[$top]} $top includes floor ${floor[$target]} $target)"
      breaches=$((breaches + 1))
    fi
  done < <(grep -nE '^#include "[^"]+/' "$file" || true)
  if [ "$top" != ui ]; then
    while IFS=: read -r line text; do
      echo "$file:$line: $text (the headless library includes Qt)"
      breaches=$((breaches + 1))
    done < <(grep -nE '^#include <Q' "$file" || true)
  fi
done < <(git ls-files '*.cpp' '*.h')

if [ "$breaches" -gt 0 ]; then
  echo "check-layers: $breaches include(s) break the layer order" >&2
  exit 1
fi
echo "check-layers: every include keeps the layer order"
