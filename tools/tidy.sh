#!/usr/bin/env bash
# Runs clang-tidy with .clang-tidy over the product code (src/ and host/, tests aside), on the
# default preset's compile commands, two files at a time.
# Usage: tools/tidy.sh [FILE...]   FILE: only these sources (default: every product source).
set -euo pipefail

case "${1:-}" in
  -h|--help)
    echo "usage: tools/tidy.sh [FILE...]"
    echo "Configures the default preset when needed, then runs clang-tidy on every product source"
    echo "of src/ and host/ (or the FILEs named). Exits 1 when any check reports."
    exit 0 ;;
esac

cd "$(dirname "$0")/.."
bash tools/install-deps.sh clang-tidy
cmake --preset default >/dev/null
if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files -- 'src/*.cpp' 'host/*.cpp' | grep -vE '(Tests/|^src/TestSupport/)')
fi
echo "tidy: ${#files[@]} files"
printf '%s\0' "${files[@]}" | xargs -0 -P 2 -n 4 clang-tidy -p build --quiet 2>/dev/null
