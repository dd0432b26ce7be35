#!/usr/bin/env bash
# Line and branch coverage of the libraries and voxtool, from the tests that run without a sound
# server or a display (everything but the tests labelled sound and smoke; the Qt tests run
# offscreen). Used to show that a change to the test suite loses nothing: measure before and
# after on the same code.
#
#   scripts/coverage.sh                       build-cov/, figures on the last two lines
#   scripts/coverage.sh build-x               another build folder
#   scripts/coverage.sh --summary FILE        also writes the two lines to FILE
#   scripts/coverage.sh --no-build            count again from the last run's data
#
# The build is its own (gcc --coverage, -O0, no -Werror), so it never disturbs build/.
# Counted: the production sources under talkdata/, lookup/, audio/, workbench/, pack/ and tools/,
# headers included. Not counted: tests/, bench/, ui/ and generated files in build folders; the
# desktop program's tests still run, since they drive the document too.
#
# Branches: gcc gives every call that may throw an extra branch into the unwinder, and a branch
# on lines the compiler made up (closing braces, cleanups). Neither is a decision in our code,
# and they would swamp it, so gcovr's --exclude-throw-branches and --exclude-unreachable-branches
# leave them out. The figure is then about the ifs, loops and conditions we wrote.
#
# Failing tests do not stop the count; the script then says so and exits 1 after the figures.
set -euo pipefail
cd "$(dirname "$0")/.."

build="build-cov"
summary=""
do_build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --summary) summary="${2:?--summary needs a file}"; shift 2 ;;
    --no-build) do_build=0; shift ;;
    -h|--help) awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"; exit 0 ;;
    -*) echo "coverage: unknown option $1" >&2; exit 2 ;;
    *) build="$1"; shift ;;
  esac
done

install_gcovr() {
  command -v gcovr >/dev/null && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: gcovr"
  $sudo apt-get update -qq -o DPkg::Lock::Timeout=300
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -o DPkg::Lock::Timeout=300 \
    --no-install-recommends gcovr
}

build_and_test() {
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVOXBENCH_WERROR=OFF \
    -DCMAKE_C_FLAGS="--coverage -O0" -DCMAKE_CXX_FLAGS="--coverage -O0" \
    -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
  cmake --build "$build" -j 2
  # Counters add up across runs; start from zero so that a second run measures the same thing.
  find "$build" -name '*.gcda' -delete
  tests_ok=1
  (cd "$build" && ctest -j 2 --timeout 600 -LE 'sound|smoke' --output-on-failure) || tests_ok=0
}

folders=()
for dir in talkdata lookup audio workbench pack tools; do
  [ -d "$dir" ] && folders+=("$dir")
done
filter="^($(IFS='|'; echo "${folders[*]}"))/"
# CMake's compiler probes leave notes without data, which gcov would only warn about.
probes=".*/CMakeFiles/[0-9][^/]*"

install_gcovr
scripts/install-deps.sh
tests_ok=1
if [ "$do_build" -eq 1 ]; then
  build_and_test
fi

out="$build/coverage"
mkdir -p "$out"
# gcovr reads every .gcda under the build folder; --filter keeps the production sources, which
# also leaves out tests/, bench/, ui/ and the build folders, since none of them lies under these.
run_gcovr() {
  gcovr --root . --object-directory "$build" --filter "$filter" --exclude-directories "$probes" \
    --exclude-throw-branches --exclude-unreachable-branches -j 2 "$@" "$build"
}
gcovr_failed() {
  echo "coverage: gcovr failed; see $out/gcovr.log" >&2
  exit 1
}
run_gcovr --txt "$out/files.txt" --json-summary "$out/summary.json" --print-summary \
  >"$out/gcovr.log" 2>&1 || gcovr_failed
run_gcovr --branches --txt "$out/branches.txt" >>"$out/gcovr.log" 2>&1 || gcovr_failed

# gcovr prints "lines: 87.3% (1234 out of 1413)"; say it as "lines: 87.3% (1234/1413)".
figures=$(sed -nE 's#^(lines|branches): ([0-9.]+%) \(([0-9]+) out of ([0-9]+)\)$#\1: \2 (\3/\4)#p' \
  "$out/gcovr.log")
if [ "$(echo "$figures" | grep -c .)" -ne 2 ]; then
  echo "coverage: gcovr's summary was not understood; see $out/gcovr.log" >&2
  exit 1
fi
echo "$figures" >"$out/summary.txt"
[ -n "$summary" ] && echo "$figures" >"$summary"
echo "Per file: $out/files.txt (lines), $out/branches.txt (branches)"
[ "$tests_ok" -eq 1 ] || echo "coverage: some tests failed; the figures count what did run" >&2
echo "$figures"
[ "$tests_ok" -eq 1 ]
