#!/usr/bin/env bash
# An unpacked folder kept in git: one new take, unpacked again with --update, changes only that
# take's two files and its own line of the description; an added voice adds its files and
# touches only its own lines. A folder of the older format packs to the same bytes and is
# brought to the newer one by an update.
set -euo pipefail
voxtool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# A settings file of its own: unpack also takes the phrase and comm-name files the user's settings
# remember, which would change the counts below.
export XDG_CONFIG_HOME="$work/config"
fail() { echo "FAIL: $*" >&2; exit 1; }
tone() { sox -q -n -r 8000 -c 1 -b 16 "$1" synth "$2" sine "$3"; }
git() { command git -c user.name=test -c user.email=test@example.org "$@"; }

mkdir -p src/waves
tone src/waves/a.wav 0.3 300; tone src/waves/b.wav 0.4 400; tone src/waves/c.wav 0.5 500
cat > src/database.txt <<'DESC'
voxbench-unpacked 2
talk speech.vox
entry 0 waves/a.wav
entry 1 waves/b.wav
entry 2 waves/c.wav
frag 0 0:0 1:1
frag 1 0:2
DESC
"$voxtool" pack src db 2>/dev/null
"$voxtool" unpack db/speech.vox u 2>/dev/null
git -C u init -q && git -C u add -A && git -C u commit -qm unpacked

# One new take behind fragment 1, voice 0.
tone take.wav 0.6 700
"$voxtool" replace db/speech.vox 1 0 take.wav >/dev/null
"$voxtool" unpack --update db/speech.vox u 2>update.log
grep -q "u: 5 files written, 4 unchanged, 0 removed" update.log || fail "counts: $(cat update.log)"
changed=$(git -C u status --porcelain | sort | tr '\n' ' ')
[ "$changed" = " M database.txt  M waves/f0001-v00.coded  M waves/f0001-v00.wav ?? history.txt ?? history/ " ] ||
    fail "a replace changed: $changed"
[ "$(git -C u diff --numstat database.txt)" = "$(printf '1\t1\tdatabase.txt')" ] ||
    fail "the description changed by more than its line: $(git -C u diff database.txt)"
git -C u add -A && git -C u commit -qm replaced

# A new voice: its two files, its entry line, and its fragment's line.
"$voxtool" add db/speech.vox 1 5 take.wav >/dev/null
"$voxtool" unpack --update db/speech.vox u 2>/dev/null
changed=$(git -C u status --porcelain --untracked-files=all | sort | tr '\n' ' ')
[ "$changed" = " M database.txt ?? waves/f0001-v05.coded ?? waves/f0001-v05.wav " ] ||
    fail "an added voice changed: $changed"
[ "$(git -C u diff --numstat database.txt)" = "$(printf '2\t1\tdatabase.txt')" ] ||
    fail "the description changed by more than two lines: $(git -C u diff database.txt)"

# The older format: all coded bytes in one shared file, found by offset.
mkdir -p v1/waves && cp u/waves/*.wav v1/waves/ && cp -r u/history u/history.txt v1/
offset=0
: > v1/coded.bin
while IFS= read -r line; do
    if [[ $line =~ ^(entry .*)\ coded=([^ ]+)\ (pcm=.*)$ ]]; then
        length=$(stat -c %s "u/${BASH_REMATCH[2]}")
        cat "u/${BASH_REMATCH[2]}" >> v1/coded.bin
        line="${BASH_REMATCH[1]} coded=$offset+$length ${BASH_REMATCH[3]}"
        offset=$((offset + length))
    fi
    [ "$line" = "voxbench-unpacked 2" ] && line="voxbench-unpacked 1"
    printf '%s\n' "$line"
done < u/database.txt > v1/database.txt
"$voxtool" pack v1 p1 2>p1.log
"$voxtool" pack u p2 2>/dev/null
! grep -q "coded again" p1.log || fail "pack coded a kept entry again: $(cat p1.log)"
cmp -s p1/speech.vox p2/speech.vox || fail "the two formats pack to different talk files"
sed "s/coded=$((offset - length))+$length/coded=$((offset - length))+$((length + 1))/" \
    v1/database.txt > beyond.txt
cp -r v1 v1beyond && mv beyond.txt v1beyond/database.txt
if "$voxtool" pack v1beyond p3 2>p3.log; then fail "packed coded bytes beyond coded.bin"; fi
grep -q "coded bytes lie beyond the end of coded.bin" p3.log || fail "beyond: $(cat p3.log)"
"$voxtool" unpack --update db/speech.vox v1 2>/dev/null
[ ! -e v1/coded.bin ] || fail "the update kept the older format's shared file"
head -5 v1/database.txt | grep -qx "voxbench-unpacked 2" || fail "the update kept format 1"
diff -r --exclude=.git u v1 >/dev/null || fail "an updated folder differs from a fresh unpack"

# A link in the folder is never written through.
echo keep > outside
ln -sf "$work/outside" u/waves/f0000-v00.wav
if "$voxtool" unpack --update db/speech.vox u 2>link.log; then fail "wrote through a link"; fi
grep -q "not a regular file" link.log || fail "the link's refusal: $(cat link.log)"
[ "$(cat outside)" = keep ] || fail "the file behind the link changed"
echo PASS
