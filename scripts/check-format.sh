#!/usr/bin/env bash
# check-format.sh [--fix]: fails when a C++ file of the project differs from what clang-format makes of it
# with the committed .clang-format; --fix formats them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
report=$(mktemp)
trap 'rm -f "$report"' EXIT
if clang-format --dry-run --Werror "${files[@]}" 2>"$report"; then
  echo "format: ${#files[@]} files as .clang-format has them"
  exit 0
fi
grep -o '^[^:]*' "$report" | sort -u | sed 's/^/format: differs: /' >&2
echo "format: run scripts/check-format.sh --fix" >&2
exit 1
