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
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  # No screen to show a window on (a server, a CI machine): show what the demo holds instead.
  echo "No display found: here is the demo database; run this on a desktop to open it in voxbench."
  exec "$voxtool" info "$demo/demo.vox"
fi
exec "$build/ui/voxbench" "$demo/demo.vox"
