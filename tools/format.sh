#!/usr/bin/env bash
# Checks (or, with --fix, applies) the tree's formatting with clang-format and .clang-format.
# Usage: tools/format.sh [--fix]
set -euo pipefail

fix=0
case "${1:-}" in
  -h|--help)
    echo "usage: tools/format.sh [--fix]"
    echo "Checks every C++ file of src/, host/, bench/ and fuzz/ against .clang-format and lists"
    echo "those that differ (exit 1). --fix rewrites them in place instead."
    exit 0 ;;
  --fix) fix=1 ;;
  "") ;;
  *) echo "tools/format.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
esac

cd "$(dirname "$0")/.."
bash tools/install-deps.sh clang-format
mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'host/*.cpp' 'host/*.h' 'bench/*.cpp' 'bench/*.h' \
                                     'fuzz/*.cpp' 'fuzz/*.h')
if [ "$fix" -eq 1 ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
unformatted=()
for file in "${files[@]}"; do
  if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
    unformatted+=("$file")
  fi
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "tools/format.sh: these files differ from .clang-format (run tools/format.sh --fix):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "format: ${#files[@]} files match .clang-format"
