#!/usr/bin/env bash
# run-demo.sh BUILD_DIR DEMO_DIR
# Opens the demo database made by make-demo.sh in voxbench. The user's settings get the demo's phrase and
# comm-name files where they name none yet, so the first start shows the phrase texts and comm
# names without loading anything by hand; files the user chose are never replaced.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR DEMO_DIR" >&2
  exit 2
fi
build=$1
demo=$(cd "$2" && pwd)
voxtool=$build/tools/voxtool

"$voxtool" settings --if-empty Data Phrases "$demo/phrases.csv"
"$voxtool" settings --if-empty Data Comms "$demo/commnames.csv"
exec "$build/ui/voxbench" "$demo/demo.vox"
