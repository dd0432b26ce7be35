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

# One grep over every file and one awk over its lines: a process per include line had made this
# check take seconds.
git ls-files -z '*.cpp' '*.h' |
  xargs -0 grep -nHE '^#include (<Q|"[^"/]+/)' |
  awk -F: '
    BEGIN {
      split("talkdata:0 lookup:1 audio:1 workbench:2 pack:2 tools:3 ui:3", pairs, " ")
      for (i in pairs) { split(pairs[i], kv, ":"); floor[kv[1]] = kv[2] }
    }
    {
      file = $1; line = $2
      text = substr($0, length(file) + length(line) + 3)
      top = file; sub(/\/.*/, "", top)
      if (!(top in floor)) next
      if (text ~ /^#include </) {
        if (top != "ui") { print file ":" line ": " text " (the headless library includes Qt)"; n++ }
        next
      }
      target = text; sub(/^#include "/, "", target); sub(/\/.*/, "", target)
      if (!(target in floor)) next
      if (target != top && floor[target] >= floor[top]) {
        print file ":" line ": " text " (floor " floor[top] " " top " includes floor " floor[target] " " target ")"
        n++
      }
    }
    END {
      if (n > 0) { print "check-layers: " n " include(s) break the layer order" > "/dev/stderr"; exit 1 }
      print "check-layers: every include keeps the layer order"
    }'
