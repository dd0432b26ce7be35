#!/usr/bin/env bash
# smoke-ui.sh VOXBENCH WORK_DIR
# Starts the real program under Xvfb on a small generated database, takes screenshots, clicks
# fragment +/-, comm +/- and Auto Play with xdotool, checks the window title and that the
# program is still running, then closes it through its File menu and checks that it ended
# cleanly. Exits 77 (skipped) when Xvfb, xdotool, ImageMagick or sox is missing.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 VOXBENCH WORK_DIR" >&2
  exit 2
fi
voxbench=$(realpath "$1")
voxtool=$(dirname "$voxbench")/../tools/voxtool
work=$2
for tool in Xvfb xdotool import sox; do
  command -v "$tool" >/dev/null || { echo "smoke-ui: $tool is missing; skipped"; exit 77; }
done
[ -x "$voxtool" ] || { echo "smoke-ui: $voxtool is missing; skipped"; exit 77; }

rm -rf "$work"
mkdir -p "$work/db/waves" "$work/config" "$work/runtime"
chmod 700 "$work/runtime"
pids=()
# Ends what this script started and waits for it, so that the display number is free again
# when the script returns.
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
fail() { echo "smoke-ui: $*" >&2; exit 1; }

# A database of three fragments in two voices, one eval and two comms, from synthetic tones.
for f in 0 1 2; do
  for v in 0 1; do
    sox -n -r 8000 -c 1 -b 16 "$work/db/waves/f$f-v$v.wav" synth 0.2 sine $((300 + 100 * f + 40 * v)) vol 0.3
  done
done
cat > "$work/db/database.txt" <<'DB'
voxbench-unpacked 1
talk smoke.vox
header 534d4f4b4554455354303031
slots 6
entry 0 waves/f0-v0.wav
entry 1 waves/f0-v1.wav
entry 2 waves/f1-v0.wav
entry 3 waves/f1-v1.wav
entry 4 waves/f2-v0.wav
entry 5 waves/f2-v1.wav
frag 0 0:0 1:1
frag 1 0:2 1:3
frag 2 0:4 1:5
eval 0 0:0
eval 1 0:1 1:2
comm 0 priority=1 position=2 bullseye=3 warp=4 evals=1 : 0 -1 2
comm 1 priority=1 position=2 bullseye=3 warp=4 evals=0 : 2 1
DB
"$voxtool" pack "$work/db" "$work/packed" >/dev/null || fail "voxtool pack failed"
talk=$work/packed/smoke.vox
[ -f "$talk" ] || fail "no talk file was packed"

# A display of our own.
display=""
for n in $(seq 90 120); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || fail "no free X display number"
Xvfb "$display" -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
xvfb=$!
ready=""
for _ in $(seq 100); do
  if [ -S "/tmp/.X11-unix/X${display#:}" ] &&
     [ -n "$(DISPLAY=$display xdotool getdisplaygeometry 2>/dev/null)" ]; then
    ready=yes
    break
  fi
  kill -0 "$xvfb" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  sleep 0.1
done
[ -n "$ready" ] || fail "Xvfb did not answer on $display"
export DISPLAY=$display

XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb \
  JACK_NO_START_SERVER=1 "$voxbench" "$talk" >"$work/voxbench.log" 2>&1 &
app=$!
pids+=($app)

title="smoke.vox - voxbench"
window=""
for _ in $(seq 100); do
  window=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 "$app" 2>/dev/null || fail "voxbench ended at start-up: $(cat "$work/voxbench.log")"
  sleep 0.1
done
[ -n "$window" ] || fail "no window titled '$title'"
sleep 0.5
import -window root "$work/start.png"

# The form fills the window between the bars; its controls sit at fixed dialog-unit places
# (6 x 13 pixels per 4 x 8 units). The form is the last 540 pixels above the status bar.
eval "$(xdotool getwindowgeometry --shell "$window")"
status_height=${SMOKE_STATUS_HEIGHT:-23}
form_top=$((Y + HEIGHT - status_height - 540))
click_units() {  # x y in dialog units: the middle of a control
  local px=$((X + $1 * 6 / 4)) py=$((form_top + $2 * 13 / 8))
  xdotool mousemove "$px" "$py" sleep 0.1 click 1
  sleep 0.3
}
frag_plus() { click_units 108 37; }
frag_minus() { click_units 108 45; }
comm_plus() { click_units 285 37; }
comm_minus() { click_units 285 45; }

frag_plus
frag_plus
import -window root "$work/after-frag-plus.png"
frag_minus
comm_plus
import -window root "$work/after-comm-plus.png"
comm_minus
if cmp -s "$work/start.png" "$work/after-frag-plus.png"; then
  fail "fragment + changed nothing on the screen"
fi

# Auto Play: the last toolbar button. Its checked look must change with a click, and a second
# click turns it on again.
import -window root "$work/auto-play-on.png"
xdotool mousemove $((X + 163)) $((Y + 34)) sleep 0.1 click 1
sleep 0.3
xdotool mousemove $((X + 700)) $((Y + 34))
sleep 0.3
import -window root "$work/auto-play-off.png"
if cmp -s "$work/auto-play-on.png" "$work/auto-play-off.png"; then
  fail "the Auto Play button did not change"
fi
xdotool mousemove $((X + 163)) $((Y + 34)) sleep 0.1 click 1
sleep 0.3

kill -0 "$app" 2>/dev/null || fail "voxbench ended during the clicks: $(cat "$work/voxbench.log")"
[ -n "$(xdotool search --name "^${title}\$" 2>/dev/null)" ] || fail "the title changed"
import -window root "$work/end.png"

# Close through the menu: File, then Exit.
xdotool mousemove $((X + 18)) $((Y + 10)) sleep 0.1 click 1
sleep 0.4
xdotool key Up Return
# The window goes at once; the process may take a while longer to end: a sanitizer build
# checks the whole heap for leaks on the way out, slowly on a loaded machine.
for _ in $(seq 600); do
  kill -0 "$app" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$app" 2>/dev/null; then
  import -window root "$work/not-closed.png"
  fail "voxbench did not end after File, Exit"
fi
wait "$app" && status=0 || status=$?
[ "$status" -eq 0 ] || fail "voxbench exited with status $status: $(cat "$work/voxbench.log")"
echo "smoke-ui: passed (screenshots in $work)"
