#!/usr/bin/env bash
# check-format.sh: every tracked C++ file is as clang-format (with the project's .clang-format)
# would write it. Lists the files that are not and exits 1; `clang-format -i FILE` mends one.
set -euo pipefail
cd "$(dirname "$0")/.."
unformatted=()
while IFS= read -r file; do
  clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files '*.cpp' '*.h')
if [ ${#unformatted[@]} -gt 0 ]; then
  printf '%s\n' "${unformatted[@]}"
  echo "check-format: ${#unformatted[@]} file(s) differ from clang-format; run clang-format -i on them" >&2
  exit 1
fi
echo "check-format: every C++ file is formatted"
