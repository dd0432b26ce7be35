#!/usr/bin/env bash
# test-package.sh BUILD_DIR
# Installs the Debian package that `make deb` left in BUILD_DIR with apt-get, checks what it
# installed (programs without RUNPATH, manual pages, desktop entry, metainfo, MIME type, icons,
# bash completion, documents), runs the installed voxtool on a small generated database, and
# removes the package again, also when a check fails. A voxbench installed before is removed
# too. Uses sudo when not root, as install-deps.sh does.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$(realpath "$1")
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
fail() { echo "test-package: $*" >&2; exit 1; }

shopt -s nullglob
debs=("$build"/voxbench_*.deb)
shopt -u nullglob
[ ${#debs[@]} -eq 1 ] || fail "expected one voxbench_*.deb in $build (make deb), found ${#debs[@]}"
deb=${debs[0]}
version=$(dpkg-deb --field "$deb" Version)
[ "$(basename "$deb")" = "voxbench_${version}_$(dpkg --print-architecture).deb" ] ||
  fail "$(basename "$deb") is not named voxbench_VERSION_ARCH.deb for version $version"

for tool in lintian man desktop-file-validate appstreamcli update-mime-database readelf sox; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh --test)"
done
# A minimised Debian image replaces man with a stub that only explains itself.
[ "$(dpkg-divert --truename /usr/bin/man)" = /usr/bin/man ] ||
  fail "/usr/bin/man is the minimised system's stub; run unminimize to test the manual pages"

# Some container images tell dpkg to leave manual pages out; let this package's own in, so
# that what is tested is what an ordinary system installs.
dpkg_options=()
if grep -Eqs '^path-exclude[= ]+/usr/share/man' /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d/*; then
  echo "test-package: dpkg is set to leave out manual pages here; voxbench's own are let in"
  dpkg_options=(-o "DPkg::Options::=--path-include=/usr/share/man/man1/vox*")
fi

if dpkg-query -W -f='${Status}' voxbench 2>/dev/null | grep -q "install ok installed"; then
  echo "test-package: voxbench $(dpkg-query -W -f='${Version}' voxbench) is installed; it is" \
       "replaced by the package under test and removed at the end"
fi

work=$(mktemp -d)
installed=""
remove_package() {
  [ -n "$installed" ] || return 0
  installed=""
  DEBIAN_FRONTEND=noninteractive $sudo apt-get remove --purge -y -qq \
    -o DPkg::Lock::Timeout=300 voxbench >/dev/null
}
cleanup() {
  remove_package || echo "test-package: apt-get remove voxbench failed" >&2
  rm -rf "$work"
}
trap cleanup EXIT

echo "Installing $deb"
installed=yes
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --reinstall --no-install-recommends \
  -o DPkg::Lock::Timeout=300 "${dpkg_options[@]}" "$deb" >"$work/apt.log" 2>&1 ||
  fail "apt-get install failed: $(cat "$work/apt.log")"

passed=0
failed=0
# check NAME COMMAND...: runs COMMAND, its output kept in $work/out.
check() {
  local name=$1
  shift
  if "$@" >"$work/out" 2>&1; then
    passed=$((passed + 1))
    echo "ok      $name"
  else
    failed=$((failed + 1))
    echo "FAILED  $name"
    sed 's/^/        /' "$work/out"
  fi
}

expect_files() {
  local listed missing=0 file
  listed=$(dpkg -L voxbench)
  for file in "$@"; do
    grep -qxF "$file" <<<"$listed" || { echo "not installed: $file"; missing=1; }
  done
  return $missing
}
icons=()
for size in 16 22 24 32 48 64 128 256; do
  icons+=("/usr/share/icons/hicolor/${size}x${size}/apps/voxbench.png")
done
check "every file is installed" expect_files \
  /usr/bin/voxtool /usr/bin/voxbench \
  /usr/share/man/man1/voxtool.1.gz /usr/share/man/man1/voxbench.1.gz \
  /usr/share/applications/voxbench.desktop /usr/share/mime/packages/voxbench.xml \
  /usr/share/metainfo/io.github.voxbench.Voxbench.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/voxbench.svg "${icons[@]}" \
  /usr/share/bash-completion/completions/voxtool \
  /usr/share/doc/voxbench/copyright /usr/share/doc/voxbench/changelog.gz \
  /usr/share/doc/voxbench/README.md /usr/share/doc/voxbench/unpacked-format.md

version_is() { [ "$(/usr/bin/voxtool --version)" = "voxtool $version" ]; }
check "voxtool --version says $version" version_is

no_runpath() { ! readelf -d /usr/bin/voxtool /usr/bin/voxbench | grep -Ei 'rpath|runpath'; }
check "no RPATH or RUNPATH in the programs" no_runpath

# The changelog's and the metainfo's newest release are the package's version.
release_notes_match() {
  zcat /usr/share/doc/voxbench/changelog.gz | head -n 1 | grep -F "voxbench ($version)" &&
    grep -m 1 '<release ' /usr/share/metainfo/io.github.voxbench.Voxbench.metainfo.xml |
    grep -F "version=\"$version\""
}
check "changelog and metainfo name version $version" release_notes_match

man_pages_render() {
  local page warnings
  for page in voxtool voxbench; do
    [ "$(man -w "$page")" = "/usr/share/man/man1/$page.1.gz" ] || return 1
    warnings=$(MANWIDTH=80 man --warnings "$page" 2>&1 >"$work/$page.txt")
    [ -z "$warnings" ] || { echo "$page(1): $warnings"; return 1; }
    grep -q "EXIT STATUS" "$work/$page.txt" || return 1
  done
}
check "man -w finds both manual pages, which render without warnings" man_pages_render

# Every command voxtool lists is in its manual page and in its completion.
commands=$(/usr/bin/voxtool --help | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && NF { print $1 }')
[ -n "$commands" ] || fail "voxtool --help lists no commands"
man_documents_commands() {
  local command missing=0
  for command in $commands; do
    grep -qE "^   $command( |$)" "$work/voxtool.txt" || { echo "no section: $command"; missing=1; }
  done
  return $missing
}
check "voxtool(1) has a section for every command" man_documents_commands

complete_words() {
  bash -c 'source /usr/share/bash-completion/completions/voxtool
           COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _voxtool; printf "%s\n" "${COMPREPLY[@]}"' \
    voxtool voxtool "$@"
}
completion_knows_commands() {
  local completed
  completed=$(complete_words "" | sort)
  [ "$completed" = "$(sort <<<"$commands")" ] || {
    echo "completion: $(tr '\n' ' ' <<<"$completed")"
    echo "--help:     $(tr '\n' ' ' <<<"$commands")"
    return 1
  }
  [ "$(complete_words find frag-in-e)" = frag-in-eval ]
}
check "bash completion offers exactly the commands of --help" completion_knows_commands

# Errors and warnings fail; docs/packaging.md names the infos that remain and why.
lintian_is_clean() {
  local status=0
  lintian --fail-on error,warning "$deb" >"$work/lintian.txt" 2>&1 || status=$?
  grep -v '^running with root privileges' "$work/lintian.txt" || true
  return $status
}
check "lintian finds no error or warning" lintian_is_clean

# A tiny database: two tones, two fragments, one eval, one comm.
mkdir -p "$work/unpacked/waves"
for f in 0 1; do
  sox -n -r 8000 -c 1 -b 16 "$work/unpacked/waves/f$f.wav" synth 0.1 sine $((300 + 100 * f)) vol 0.3
done
cat >"$work/unpacked/database.txt" <<'DB'
voxbench-unpacked 1
talk tiny.vox
entry 0 waves/f0.wav
entry 1 waves/f1.wav
frag 0 0:0
frag 1 0:1 3:0
eval 0 0:0 1:1
comm 0 priority=1 : 0 -0 1
DB
voxtool_on_database() {
  /usr/bin/voxtool pack "$work/unpacked" "$work/db" &&
    /usr/bin/voxtool info "$work/db/tiny.vox" >"$work/info.txt" &&
    cat "$work/info.txt" &&
    grep -q "^Fragments: *2 with 3 voices" "$work/info.txt" &&
    grep -q "^Evals: *1 with 2 alternatives" "$work/info.txt" &&
    /usr/bin/voxtool verify "$work/db/tiny.vox"
}
check "voxtool pack, info and verify on a generated database" voxtool_on_database

check "desktop-file-validate" desktop-file-validate /usr/share/applications/voxbench.desktop
check "appstreamcli validate" appstreamcli validate --no-net \
  /usr/share/metainfo/io.github.voxbench.Voxbench.metainfo.xml

# The shared-mime-info trigger took the talk file's type in.
mime_registered() { grep -q '^[0-9]*:application/x-voxbench-document:\*\.vox$' /usr/share/mime/globs2; }
check "*.vox is registered as application/x-voxbench-document" mime_registered

removal_leaves_nothing() {
  remove_package &&
    ! dpkg-query -W -f='${Status}' voxbench 2>/dev/null | grep -q "install ok installed" &&
    [ ! -e /usr/bin/voxtool ] && [ ! -e /usr/share/man/man1/voxtool.1.gz ] &&
    [ ! -e /usr/share/doc/voxbench ]
}
check "apt-get remove takes everything away" removal_leaves_nothing

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
