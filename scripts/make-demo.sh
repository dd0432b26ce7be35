#!/usr/bin/env bash
# make-demo.sh BUILD_DIR OUT_DIR
# Builds the demo database from the texts in resources/demo: every fragment spoken by
# espeak-ng in 14 voices, brought to 8000 Hz mono 16-bit by sox, then put together by
# `voxtool pack`, with any recording that `voxtool levels` flags levelled and packed again. OUT_DIR receives demo.vox, the three tables, phrases.csv, commnames.csv and
# the unpacked folder it was packed from. Does nothing when OUT_DIR is complete and newer than
# its inputs.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR OUT_DIR" >&2
  exit 2
fi
build=$(realpath -m "$1")
# Absolute, because the speaking step works from inside the unpacked folder.
out=$(realpath -m "${2%/}")
root=$(cd "$(dirname "$0")/.." && pwd)
resources=$root/resources/demo
voxtool=$build/tools/voxtool
inputs=("$resources"/voices.txt "$resources"/fragments.txt "$resources"/evals.txt
        "$resources"/comms.txt "$root/scripts/make-demo.sh")

if [ -f "$out/.complete" ] && [ -z "$(find "${inputs[@]}" -newer "$out/.complete" | head -n 1)" ]; then
  echo "The demo database is up to date: $out"
  exit 0
fi
# Only a folder this script made (or nothing at all) is ever replaced.
if [ -e "$out" ] && [ ! -f "$out/.complete" ] && [ -n "$(ls -A "$out")" ]; then
  echo "make-demo.sh: $out exists and is not a demo database; move it away first" >&2
  exit 1
fi
for tool in espeak-ng sox "$voxtool"; do
  command -v "$tool" >/dev/null || { echo "make-demo.sh: $tool is missing" >&2; exit 1; }
done

staging=$(mktemp -d "$out.tmp.XXXXXX")
trap 'rm -rf "$staging"' EXIT
unpacked=$staging/unpacked
mkdir -p "$unpacked/waves"

# One awk pass turns the four texts into the description, the side files and the list of
# recordings to make (wave file, voice, text), resolving fragment and eval keys to numbers.
awk -v dir="$unpacked" '
  BEGIN { voices = 0; frags = 0; evals = 0; comms = 0 }
  function fail(message) { print "make-demo.sh: " FILENAME ":" FNR ": " message > "/dev/stderr"; failed = 1; exit 1 }
  function rest(from,   i, s) { s = $from; for (i = from + 1; i <= NF; i++) s = s " " $i; return s }
  /^[ \t]*#/ || NF == 0 { next }
  FILENAME ~ /voices.txt$/ { voice[voices++] = $1; next }
  FILENAME ~ /fragments.txt$/ {
    if ($1 in frag) fail("fragment key " $1 " is given twice")
    frag[$1] = frags; text[frags++] = rest(2); next
  }
  FILENAME ~ /evals.txt$/ {
    if (NF < 2) fail("an eval needs at least one fragment")
    eval[$1] = evals; line = "eval " evals
    for (i = 2; i <= NF; i++) {
      if (!($i in frag)) fail("unknown fragment key " $i)
      line = line " " (i - 2) ":" frag[$i]
    }
    evalLine[evals++] = line; next
  }
  FILENAME ~ /comms.txt$/ {
    n = split($0, part, "|")
    if (n != 3) fail("expected NAME | PRIORITY POSITION BULLSEYE WARP | ENTRIES")
    name = part[1]; sub(/^[ \t]+/, "", name); sub(/[ \t]+$/, "", name)
    if (split(part[2], field, " ") != 4) fail("expected four attributes")
    count = split(part[3], entry, " "); list = ""; evalCount = 0
    for (i = 1; i <= count; i++) {
      key = entry[i]
      if (key ~ /^@/) {
        key = substr(key, 2)
        if (!(key in eval)) fail("unknown eval key " key)
        if (eval[key] == 0) fail("a comm cannot name eval 0")
        list = list " -" eval[key]; evalCount++
      } else {
        if (!(key in frag)) fail("unknown fragment key " key)
        list = list " " frag[key]
      }
    }
    commLine[comms] = "comm " comms " priority=" field[1] " position=" field[2] " bullseye=" field[3] \
                      " warp=" field[4] " evals=" evalCount " :" list
    commName[comms++] = name; next
  }
  END {
    if (failed) exit 1
    if (voices != 14) { print "make-demo.sh: voices.txt must name 14 voices" > "/dev/stderr"; exit 1 }
    d = dir "/database.txt"
    print "# The demo database, made by scripts/make-demo.sh from resources/demo." > d
    print "voxbench-unpacked 2\ntalk demo.vox\nheader 564f5842454e434844454d4f" > d
    print "slots " frags * voices "\nphrases phrases.csv\ncommnames commnames.csv\n" > d
    for (f = 0; f < frags; f++) {
      line = "frag " f
      for (v = 0; v < voices; v++) {
        slot = f * voices + v
        wave = sprintf("waves/f%04d-v%02d.wav", f, v)
        print "entry " slot " " wave > d
        print wave "\t" voice[v] "\t" text[f] > (dir "/../recordings.txt")
        line = line " " v ":" slot
      }
      fragLine[f] = line
    }
    for (f = 0; f < frags; f++) print fragLine[f] > d
    for (e = 0; e < evals; e++) print evalLine[e] > d
    for (c = 0; c < comms; c++) print commLine[c] > d
    p = dir "/phrases.csv"
    print "Frag,Voice,Phrase" > p
    for (f = 0; f < frags; f++) {
      line = f ","
      for (v = 0; v < voices; v++) line = line ",\"" text[f] "\""
      print line > p
    }
    for (c = 0; c < comms; c++) print c ",\"" commName[c] "\"" > (dir "/commnames.csv")
  }
' "$resources/voices.txt" "$resources/fragments.txt" "$resources/evals.txt" "$resources/comms.txt"

# Speaks one recording: espeak-ng at its own rate, then sox to 8000 Hz mono 16-bit, every voice
# brought to the same loudness and the silence before and after the words trimmed, so that a
# comm plays as one call.
speak() {
  local wave=$1 voice=$2 text=$3 raw status=0
  raw=$(mktemp --suffix=.wav) || return 1
  espeak-ng -v "$voice" -w "$raw" "$text" &&
    sox -V1 "$raw" -r 8000 -c 1 -b 16 "$wave" \
      norm -3 silence 1 0.02 0.5% reverse silence 1 0.02 0.5% reverse ||
    status=1
  rm -f "$raw"
  return $status
}
export -f speak
count=$(wc -l < "$staging/recordings.txt")
echo "Speaking $count recordings with espeak-ng..."
( cd "$unpacked" && tr '\t\n' '\0\0' < "$staging/recordings.txt" |
    xargs -0 -n 3 -P "$(nproc)" bash -c 'speak "$1" "$2" "$3"' speak ) < /dev/null

# Levels a recording that `voxtool levels` flags, 3 dB at a time in the direction it strays: the
# codec gives the odd high voice back louder than it went in, even clipped. Only loudness and
# clipping can be levelled; anything else is a fault of the demo's making.
level_outliers() {
  awk '
    /^(silent|undecodable): / { print "make-demo.sh: " $0 > "/dev/stderr"; failed = 1 }
    /^(clipping|loudness): fragment [0-9]+ voice [0-9]+/ {
      key = sprintf("waves/f%04d-v%02d.wav", $3, $5)
      if (key in seen) next
      seen[key] = 1
      print key, ($6 ~ /^\(-/ ? 3 : -3)
    }
    END { exit failed }
  ' "$1" | while read -r wave gain; do
    echo "Levelling $wave by $gain dB"
    # A limiter keeps a gain up from clipping; on a gain down it would only get in the way.
    limit=()
    [ "$gain" -gt 0 ] && limit=(-l)
    sox -V1 "$unpacked/$wave" "$unpacked/$wave.tmp.wav" gain "${limit[@]}" "$gain" &&
      mv "$unpacked/$wave.tmp.wav" "$unpacked/$wave"
  done
}

for round in 1 2 3 4 5 6; do
  echo "Packing the demo database..."
  rm -rf "$staging/db"
  "$voxtool" pack "$unpacked" "$staging/db"
  if "$voxtool" levels "$staging/db/demo.vox" >"$staging/levels.txt"; then
    break
  fi
  if [ "$round" = 6 ]; then
    echo "make-demo.sh: the demo's levels are still flagged:" >&2
    sed -n '/recordings flagged$/,$p' "$staging/levels.txt" >&2
    exit 1
  fi
  level_outliers "$staging/levels.txt"
done
mv "$unpacked" "$staging/db/unpacked"
touch "$staging/db/.complete"
rm -rf "$out"
mv "$staging/db" "$out"
echo "The demo database is ready: $out/demo.vox"
