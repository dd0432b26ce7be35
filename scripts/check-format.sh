#!/usr/bin/env bash
# check-format.sh: every tracked C++ file is as clang-format (with the project's .clang-format)
# would write it. Lists the files that are not and exits 1; `clang-format -i FILE` mends one.
# One clang-format takes forty files at a time, as many at once as there are cores: starting it
# once a file had made this the slowest check of make test's first minute.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check-format: clang-format is not installed" >&2; exit 1; }
# Exits non-zero whenever a file differs, so only its messages tell.
report=$(git ls-files -z '*.cpp' '*.h' |
  xargs -0 -P "$(nproc)" -n 40 clang-format --dry-run 2>&1 || true)
mapfile -t unformatted < <(sed -nE 's/^(.*):[0-9]+:[0-9]+: warning: code should be clang-formatted.*/\1/p' <<<"$report" | sort -u)
if grep -qE '(^|: )error:' <<<"$report"; then
  echo "$report" >&2
  echo "check-format: clang-format failed" >&2
  exit 1
fi
if [ ${#unformatted[@]} -gt 0 ]; then
  printf '%s\n' "${unformatted[@]}"
  echo "check-format: ${#unformatted[@]} file(s) differ from clang-format; run clang-format -i on them" >&2
  exit 1
fi
echo "check-format: every C++ file is formatted"
