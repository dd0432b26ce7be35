#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer on,
# no desktop program) and runs each on a copy of its seed corpus for a while, as many at a time
# as there are cores. Any finding fails the run; the input that caused it is kept in
# build-fuzz/findings/<target>/ and reproduces with build-fuzz/tests/fuzz/<target> <file>.
#
#   scripts/fuzz.sh                  every target, 10 seconds each
#   scripts/fuzz.sh 600              every target, 10 minutes each
#   scripts/fuzz.sh 60 fuzz_wave     only the targets named
#   FUZZ_RUNS=10000000 scripts/fuzz.sh 86400
#                                    each target until ten million runs (or a day) are done
# FUZZ_JOBS sets how many targets run at once (default: the number of cores).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-10}"
shift || true
build=build-fuzz
corpus=tests/fuzz/corpus
jobs="${FUZZ_JOBS:-$(nproc)}"

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for dir in "$corpus"/*/; do
    name="$(basename "$dir")"
    [ -f "tests/fuzz/$name.cpp" ] && targets+=("$name")
  done
fi

flags="-fsanitize=fuzzer-no-link"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVOXBENCH_FUZZ=ON -DVOXBENCH_SANITIZE=ON -DVOXBENCH_WERROR=ON -DVOXBENCH_BUILD_UI=OFF -DBUILD_TESTING=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

# One run: a fresh copy of the seeds (the fuzzer adds what it finds to the copy, never to the
# repository), its log, and its findings in a folder of its own.
run_one() {
  local name="$1"
  local work="$build/corpus-run/$name" findings="$build/findings/$name"
  rm -rf "$work" "$findings"
  mkdir -p "$work" "$findings" "$build/logs"
  cp -r "$corpus/$name/." "$work/"
  "$build/tests/fuzz/$name" -max_total_time="$seconds" ${FUZZ_RUNS:+-runs="$FUZZ_RUNS"} \
    -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$work" >"$build/logs/$name.log" 2>&1
}

report() {
  local name="$1" status="$2" runs
  runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/logs/$name.log" |
          grep -o '[0-9]*$' || echo '?')"
  if [ "$status" -eq 0 ]; then
    printf '%-16s ok       %12s runs\n' "$name" "$runs"
  else
    printf '%-16s FINDING  (exit %d), log: %s\n' "$name" "$status" "$build/logs/$name.log"
    tail -n 40 "$build/logs/$name.log" | sed 's/^/    /'
  fi
}

declare -A pids=()
failed=0
finish_next() {
  local pid status=0
  wait -n -p pid "${!pids[@]}" || status=$?
  report "${pids[$pid]}" "$status"
  [ "$status" -eq 0 ] || failed=1
  unset "pids[$pid]"
}

for name in "${targets[@]}"; do
  while [ "${#pids[@]}" -ge "$jobs" ]; do finish_next; done
  run_one "$name" &
  pids[$!]="$name"
done
while [ "${#pids[@]}" -gt 0 ]; do finish_next; done

if [ "$failed" -ne 0 ]; then
  echo "fuzz: findings above" >&2
  exit 1
fi
