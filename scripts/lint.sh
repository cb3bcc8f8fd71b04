#!/usr/bin/env bash
# Fails when a tracked C++ file is not formatted as .clang-format says.
# scripts/lint.sh --fix rewrites them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
[ ${#files[@]} -eq 0 ] && exit 0
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/zub-lint.$$; then
  grep -E '^[^ ].*: (error|warning):' /tmp/zub-lint.$$ | cut -d: -f1 | sort -u | sed 's/^/unformatted: /'
  rm -f /tmp/zub-lint.$$
  echo "run scripts/lint.sh --fix" >&2
  exit 1
fi
rm -f /tmp/zub-lint.$$
echo "format: ${#files[@]} files clean"
