#!/usr/bin/env bash
# A mutation sample: puts small faults into the code one at a time (scripts/mutants.txt says
# which), rebuilds, and runs the test programs that cover the changed file. A mutant is killed
# when a test fails or times out; it survived when every test still passes. Used to show that
# a change to the test suite loses nothing: the killed count must not drop.
#
#   scripts/mutate.sh                       every mutant of scripts/mutants.txt, in build-mut/
#   scripts/mutate.sh --only ID [ID...]     only these mutants
#   scripts/mutate.sh --build DIR           another build folder
#   scripts/mutate.sh --timeout SECONDS     the limit for one test program (default 120)
#   scripts/mutate.sh --check               only say which mutants are stale; builds nothing
#   scripts/mutate.sh FILE                  the mutants of FILE
#
# One line per mutant: its id, what happened and the seconds it took. The last line reads
# "killed K of N (S survived, T stale, B did not build)":
#   killed          a test program failed or ran past the time limit (its name is given)
#   survived        every test program passed: a gap in the tests, or an equivalent mutant
#   stale           the file is gone, or its snippet is not there exactly once: fix the mutant
#   did not build   the mutant does not compile: a bad mutant, counted neither way
# Each mutant's build and test output is kept in DIR/mutants/ID.log, the results in
# DIR/mutants/results.tsv.
#
# The build is its own (RelWithDebInfo, no -Werror, since a mutant may well warn), so build/ is
# never touched. Before the first mutant the chosen test programs are built and run once
# unchanged; they must pass. A mutated file is always put back, also on Ctrl+C, and checked
# with git: the files the mutants change must have no uncommitted changes when the run starts.
set -euo pipefail
cd "$(dirname "$0")/.."

build="build-mut"
mutants_file=scripts/mutants.txt
limit=120
check_only=0
only=()

usage() {
  echo "usage: scripts/mutate.sh [--build DIR] [--only ID...] [--timeout SECONDS] [--check] [MUTANTS_FILE]" >&2
  exit 2
}

die() {
  echo "mutate: $*" >&2
  exit 1
}

while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="${2:?--build needs a folder}"; shift 2 ;;
    --timeout) limit="${2:?--timeout needs seconds}"; shift 2 ;;
    --check) check_only=1; shift ;;
    --only)
      shift
      # Ids follow until the next option or a word that names a file (the mutants file).
      while [ $# -gt 0 ] && [ "${1#-}" = "$1" ] && [ ! -f "$1" ]; do only+=("$1"); shift; done
      [ ${#only[@]} -gt 0 ] || usage
      ;;
    -h|--help) awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"; exit 0 ;;
    -*) usage ;;
    *) mutants_file="$1"; shift ;;
  esac
done
[[ "$limit" =~ ^[1-9][0-9]*$ ]] || die "--timeout needs a whole number of seconds"
[ -f "$mutants_file" ] || die "$mutants_file: no such file"

# Which test programs check a source file, the closest first: the run of a mutant stops at the
# first program that fails. Each folder gets its own tests and those that test it directly from
# one floor up; the programs that run voxtool (test_voxtool, test_pack, test_faults) count for
# tools/.
tests_for() {
  case "$1" in
    workbench/*)
      echo "test_document test_import test_maintain test_voxtool test_dialogs test_ui test_maintain_ui test_faults" ;;
    talkdata/*) echo "test_talkdata test_maintain test_faults" ;;
    lookup/*) echo "test_lookup test_voxtool" ;;
    audio/*) echo "test_codec test_player" ;;
    pack/*) echo "test_pack" ;;
    tools/*) echo "test_voxtool test_pack test_maintain test_faults" ;;
    *) echo "" ;;
  esac
}

# --- the mutants file ------------------------------------------------------------------------

ids=()
files=()
finds=()
replaces=()

parse_mutants() {
  local line key value number=0 in_block=0
  local id="" file="" find="" replace="" have_replace=0 start=0
  local -A seen=()
  finish_block() {
    [ "$in_block" -eq 1 ] || return 0
    [ -n "$id" ] || die "$mutants_file:$start: a mutant without id:"
    [ -n "$file" ] || die "$mutants_file:$start: mutant $id has no file:"
    [ -n "$find" ] || die "$mutants_file:$start: mutant $id has no find:"
    [ "$have_replace" -eq 1 ] || die "$mutants_file:$start: mutant $id has no replace:"
    [ "$find" != "$replace" ] || die "$mutants_file:$start: mutant $id replaces its text by itself"
    [ -z "${seen[$id]:-}" ] || die "$mutants_file:$start: id $id is used twice"
    seen[$id]=1
    ids+=("$id"); files+=("$file"); finds+=("$find"); replaces+=("$replace")
    in_block=0; id=""; file=""; find=""; replace=""; have_replace=0
  }
  while IFS= read -r line || [ -n "$line" ]; do
    number=$((number + 1))
    case "$line" in
      '#'*) continue ;;
      '') finish_block; continue ;;
    esac
    if [ "$in_block" -eq 0 ]; then in_block=1; start=$number; fi
    key="${line%%:*}"
    [ "$key" != "$line" ] || die "$mutants_file:$number: expected 'KEY: VALUE'"
    value="${line#*:}"
    value="${value# }"
    case "$key" in
      id) id="$value" ;;
      file) file="$value" ;;
      find) find="$value" ;;
      replace) replace="$value"; have_replace=1 ;;
      why) ;;
      *) die "$mutants_file:$number: unknown key '$key'" ;;
    esac
  done <"$mutants_file"
  finish_block
}

parse_mutants
[ ${#ids[@]} -gt 0 ] || die "$mutants_file holds no mutants"

selected=()
if [ ${#only[@]} -eq 0 ]; then
  selected=("${!ids[@]}")
else
  for wanted in "${only[@]}"; do
    found=-1
    for i in "${!ids[@]}"; do [ "${ids[$i]}" = "$wanted" ] && found=$i; done
    [ "$found" -ge 0 ] || die "no mutant with id '$wanted' in $mutants_file"
    selected+=("$found")
  done
fi

# --- applying and putting back ---------------------------------------------------------------

scratch=$(mktemp -d)
current=""  # the file that holds a mutant right now

restore() {
  [ -n "$current" ] || return 0
  local file="$current"
  current=""
  cp "$scratch/original" "$file"
  if ! git diff --quiet -- "$file"; then
    echo "mutate: $file could not be put back as it was; restore it with: git checkout -- $file" >&2
    return 1
  fi
}

cleanup() {
  restore || true
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'echo "mutate: interrupted" >&2; exit 130' INT TERM

# Writes the file with find replaced by replace into $scratch/mutated when find occurs exactly
# once, and prints how often it occurs. Taken literally: no pattern characters.
mutated_copy() {
  FIND="$2" REPLACE="$3" awk -v out="$scratch/mutated" '
    BEGIN { find = ENVIRON["FIND"]; replace = ENVIRON["REPLACE"]; count = 0 }
    {
      rest = $0; line = ""
      while ((at = index(rest, find)) > 0) {
        count++
        line = line substr(rest, 1, at - 1) replace
        rest = substr(rest, at + length(find))
      }
      print line rest > out
    }
    END { print count }' "$1"
}

# After a move: "; NEW/PATH holds the text" when a file of the same name elsewhere holds mutant
# i's text exactly once, so that fixing its file: line is quick.
moved_hint() {
  local candidate
  while IFS= read -r candidate; do
    if [ "$(mutated_copy "$candidate" "${finds[$1]}" "${replaces[$1]}")" -eq 1 ]; then
      echo "; $candidate holds the text"
      return
    fi
  done < <(git ls-files -- "*/$(basename "${files[$1]}")")
}

# Why mutant i cannot be applied, or nothing when it can.
stale_reason() {
  local file="${files[$1]}" count
  [ -f "$file" ] || { echo "no file $file$(moved_hint "$1")"; return; }
  count=$(mutated_copy "$file" "${finds[$1]}" "${replaces[$1]}")
  [ "$count" -eq 1 ] || echo "found $count times in $file"
}

apply() {
  local file="${files[$1]}"
  cp "$file" "$scratch/original"
  current="$file"
  cp "$scratch/mutated" "$file"
}

if [ "$check_only" -eq 1 ]; then
  stale=0
  for i in "${selected[@]}"; do
    why=$(stale_reason "$i")
    if [ -n "$why" ]; then
      printf '%-32s stale (%s)\n' "${ids[$i]}" "$why"
      stale=$((stale + 1))
    else
      printf '%-32s ok\n' "${ids[$i]}"
    fi
  done
  echo "$stale of ${#selected[@]} stale"
  [ "$stale" -eq 0 ]
  exit
fi

for i in "${selected[@]}"; do
  file="${files[$i]}"
  if [ -f "$file" ] && ! { git diff --quiet -- "$file" && git diff --cached --quiet -- "$file"; }; then
    die "$file has uncommitted changes; commit or stash them first, since a mutated file is put back and checked against git"
  fi
done

# --- building and testing --------------------------------------------------------------------

declare -A program_of=()
export QT_QPA_PLATFORM=offscreen
export GTEST_FAIL_FAST=1 GTEST_BRIEF=1

# Runs one test program as ctest would, in its own folder, with settings in a scratch folder.
run_program() {
  local target="$1" log="$2" program="${program_of[$1]}"
  rm -rf "$scratch/config"
  mkdir -p "$scratch/config"
  (cd "$(dirname "$program")" &&
    XDG_CONFIG_HOME="$scratch/config" timeout -k 10 "$limit" "./$(basename "$program")") >>"$log" 2>&1
}

baseline() {
  local targets=() known target log="$build/mutants/baseline.log"
  for i in "${selected[@]}"; do
    for target in $(tests_for "${files[$i]}"); do
      [[ " ${targets[*]} " == *" $target "* ]] || targets+=("$target")
    done
  done
  [ ${#targets[@]} -gt 0 ] || die "no test program covers the chosen mutants' files"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOXBENCH_WERROR=OFF >/dev/null
  mkdir -p "$build/mutants"
  : >"$log"
  known=$(ninja -C "$build" -t targets all | sed 's/:.*//')
  for target in "${targets[@]}"; do
    grep -qx "$target" <<<"$known" ||
      die "the table in scripts/mutate.sh names the test program $target, which $build does not build"
  done
  echo "Building ${targets[*]} in $build (unchanged code)"
  cmake --build "$build" -j 2 --target "${targets[@]}" >>"$log" 2>&1 ||
    die "the unchanged code does not build; see $log"
  for target in "${targets[@]}"; do
    program_of[$target]=$(find "$build" -type f -name "$target" -perm -u+x -print -quit)
    [ -n "${program_of[$target]}" ] || die "cannot find the program $target in $build"
    SECONDS=0
    run_program "$target" "$log" || die "$target fails on the unchanged code; see $log"
    echo "  $target passes unchanged in ${SECONDS}s"
  done
}

# Prints "status<TAB>detail" for mutant i, which is applied.
judge() {
  local i="$1" log="$2" targets target status
  read -r -a targets <<<"$(tests_for "${files[$i]}")"
  [ ${#targets[@]} -gt 0 ] || { printf 'survived\tno test program covers %s\n' "${files[$i]}"; return; }
  if ! cmake --build "$build" -j 2 --target "${targets[@]}" >>"$log" 2>&1; then
    printf 'did not build\t\n'
    return
  fi
  for target in "${targets[@]}"; do
    echo "=== $target" >>"$log"
    status=0
    run_program "$target" "$log" || status=$?
    case "$status" in
      0) ;;
      124 | 137) printf 'killed\t%s timed out\n' "$target"; return ;;
      *) printf 'killed\t%s fails\n' "$target"; return ;;
    esac
  done
  printf 'survived\t\n'
}

baseline
results="$build/mutants/results.tsv"
printf 'id\tstatus\tseconds\tdetail\n' >"$results"
killed=0 survived=0 stale=0 unbuilt=0
survivors=()
SECONDS=0
for i in "${selected[@]}"; do
  id="${ids[$i]}"
  start=$SECONDS
  why=$(stale_reason "$i")
  if [ -n "$why" ]; then
    status=stale
    detail="$why"
  else
    log="$build/mutants/$id.log"
    : >"$log"
    apply "$i"
    IFS=$'\t' read -r status detail < <(judge "$i" "$log")
    restore || exit 1
  fi
  case "$status" in
    killed) killed=$((killed + 1)) ;;
    survived) survived=$((survived + 1)); survivors+=("$id") ;;
    stale) stale=$((stale + 1)) ;;
    *) unbuilt=$((unbuilt + 1)) ;;
  esac
  printf '%-32s %-13s %4ds  %s\n' "$id" "$status" $((SECONDS - start)) "$detail"
  printf '%s\t%s\t%s\t%s\n' "$id" "$status" $((SECONDS - start)) "$detail" >>"$results"
done
echo "Run time: ${SECONDS}s; results in $results"
[ ${#survivors[@]} -eq 0 ] || echo "Survived: ${survivors[*]}"
echo "killed $killed of ${#selected[@]} ($survived survived, $stale stale, $unbuilt did not build)"
