#!/usr/bin/env bash
# Real sound output end to end: three tones of different pitch go through the sound player and
# the PortAudio device
#   1. into ALSA's file plugin, without any server: the exact samples must arrive, in order;
#   2. into a private PipeWire server with a null sink whose monitor is recorded: each tone must
#      be heard in order for its full length, the last one included (nothing cut off at the end).
#
#   3. (when VOXTOOL is given) `voxtool play-comm` on a packed database of three tone recordings,
#      one reached through an eval: the comm must be heard in slot order, each part in full.
#
#   e2e_sound.sh PLAY_TONES TONE_CHECK SOUND_SERVER_SCRIPT [--measure] [--voxtool VOXTOOL]
#
# --measure adds a run without the wait for the write space, to show what that wait saves.
# Exit status: 0 passed, 1 failed, 77 skipped (no PipeWire or parec on this machine).
set -euo pipefail

[ $# -ge 3 ] || { echo "usage: e2e_sound.sh PLAY_TONES TONE_CHECK SOUND_SERVER [--measure]" >&2; exit 2; }
play=$1
check=$2
server=$3
shift 3
measure=""
voxtool=""
while [ $# -gt 0 ]; do
    case $1 in
        --measure) measure=--measure ;;
        --voxtool) voxtool=$2; shift ;;
    esac
    shift
done
here=$(cd "$(dirname "$0")" && pwd)

for tool in pipewire parec; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (scripts/install-deps.sh --test installs it)"
        exit 77
    fi
done

tones=(400:500 800:500 1200:500)
tone_ms=500
tolerance_ms=30
work=$(mktemp -d)
recorder=""
cleanup() {
    [ -n "$recorder" ] && kill "$recorder" 2>/dev/null || true
    "$server" stop "$work/server" || true
    rm -rf "$work"
}
trap cleanup EXIT

# Under AddressSanitizer: excuse ALSA's own leaks; the slow unwinder is needed to see that an
# allocation was made inside ALSA at all (its plugin is gone when the leaks are reported).
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/lsan-alsa.supp"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0"
fail() { echo "FAIL: $*"; exit 1; }

# --- 1. ALSA file plugin: exact samples -----------------------------------------------------
mkdir -p "$work/home"
cat >"$work/home/.asoundrc" <<ASOUNDRC
pcm.!default {
    type file
    slave.pcm "null"
    file "$work/file.raw"
    format "raw"
}
ASOUNDRC
env -u XDG_RUNTIME_DIR -u PULSE_SERVER HOME="$work/home" "$play" "${tones[@]}" >"$work/file.log" \
    || { cat "$work/file.log"; fail "play_tones into the file plugin"; }
"$check" exact "$work/file.raw" "${tones[@]}" || fail "exact samples not found in order"
echo "file plugin: exact samples of ${tones[*]} found in order"

# --- 2. PipeWire null sink: heard in order, in full ------------------------------------------
"$server" start "$work/server"
# shellcheck source=/dev/null
source "$work/server/env"

# record RAW LOG [play_tones options]: plays the tones while the sink's monitor is recorded
record() {
    local raw=$1 log=$2
    shift 2
    parec -d nullsink.monitor --rate=8000 --channels=1 --format=s16le --raw \
        --latency-msec=10 >"$raw" &
    recorder=$!
    local started
    started=$(date +%s.%N)
    sleep 1.5
    "$play" "$@" "${tones[@]}" >"$log" || { cat "$log"; fail "play_tones into the sound server"; }
    sleep 0.8
    kill -INT "$recorder"
    wait "$recorder" || true
    recorder=""
    echo "$started" >"$log.start"
}

# heard RAW: the tones in the recording, neighbouring pieces of one tone merged: "FREQ START LEN"
heard() {
    "$check" segments "$1" 400 800 1200 | awk -v gap="$tolerance_ms" '
        $1 == f && $2 - (s + l) <= gap { l = $2 + $3 - s; next }
        { if (f) print f, s, l; f = $1; s = $2; l = $3 }
        END { if (f) print f, s, l }'
}

record "$work/server.raw" "$work/server.log"
heard "$work/server.raw" >"$work/heard"
echo "heard (Hz, start ms, length ms):"
cat "$work/heard"
[ "$(awk '{print $1}' "$work/heard" | xargs)" = "400 800 1200" ] || fail "tones not heard in order"
awk -v want="$tone_ms" -v tol="$tolerance_ms" '
    $3 < want - tol || $3 > want + tol { print "FAIL: " $1 " Hz lasted " $3 " ms"; bad = 1 }
    END { exit bad }' "$work/heard" || fail "a tone was cut short or stretched"

enqueued=$(awk '$1 == "enqueue" {print $2}' "$work/server.log")
onset=$(awk 'NR == 1 {print $2}' "$work/heard")
awk -v rec="$(cat "$work/server.log.start")" -v onset="$onset" -v q="$enqueued" \
    'BEGIN { printf "latency from enqueue to sound: about %d ms (first run, device opened)\n", \
             (rec + onset / 1000 - q) * 1000 }'

if [ "$measure" = "--measure" ]; then
    record "$work/again.raw" "$work/again.log"
    echo "again, same settings:"; heard "$work/again.raw"
    record "$work/nodrain.raw" "$work/nodrain.log" --no-drain-wait
    echo "without waiting for the write space:"; heard "$work/nodrain.raw"
fi
if [ -n "$voxtool" ]; then
    # Tones the speech codec keeps faithfully (it colours pure tones between 700 and 1500 Hz).
    db="$work/tones"
    mkdir -p "$db/waves"
    for f in 440 2000 250; do
        sox -n -r 8000 -c 1 -b 16 -e signed-integer "$db/waves/t$f.wav" synth 0.5 sine "$f" vol 0.5
    done
    cat >"$db/database.txt" <<DESC
voxbench-unpacked 1
talk tones.vox
entry 0 waves/t440.wav
entry 1 waves/t2000.wav
entry 2 waves/t250.wav
frag 0 1:0
frag 1 1:1
frag 2 1:2
eval 0 0:0
eval 1 0:1 5:0
comm 0 : 0 -1 2
DESC
    "$voxtool" pack "$db" "$work/packed" >/dev/null || fail "voxtool pack of the tone database"
    parec -d nullsink.monitor --rate=8000 --channels=1 --format=s16le --raw \
        --latency-msec=10 >"$work/comm.raw" &
    recorder=$!
    sleep 1.5
    XDG_CONFIG_HOME="$work/config" "$voxtool" play-comm "$work/packed/tones.vox" 0 1 \
        || fail "voxtool play-comm"
    sleep 0.8
    kill -INT "$recorder"
    wait "$recorder" || true
    recorder=""
    "$check" segments "$work/comm.raw" 440 2000 250 | awk -v gap="$tolerance_ms" '
        $1 == f && $2 - (s + l) <= gap { l = $2 + $3 - s; next }
        { if (f) print f, s, l; f = $1; s = $2; l = $3 }
        END { if (f) print f, s, l }' >"$work/comm.heard"
    echo "voxtool play-comm, heard (Hz, start ms, length ms):"
    cat "$work/comm.heard"
    [ "$(awk '{print $1}' "$work/comm.heard" | xargs)" = "440 2000 250" ] \
        || fail "the comm was not heard in slot order"
    awk -v want="$tone_ms" -v tol="$tolerance_ms" '
        $3 < want - tol || $3 > want + tol { print "FAIL: " $1 " Hz lasted " $3 " ms"; bad = 1 }
        END { exit bad }' "$work/comm.heard" || fail "a part of the comm was cut short"
fi
echo "PASS"
