#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test.
# Usage: tools/test.sh [PRESET]   PRESET: default (the default), asan or tsan.
set -euo pipefail

case "${1:-}" in
  -h|--help)
    echo "usage: tools/test.sh [default|asan|tsan]"
    echo "Installs missing Debian packages, builds the preset and runs its tests with ctest."
    exit 0 ;;
esac
preset="${1:-default}"
case "$preset" in
  default|asan|tsan) ;;
  *) echo "tools/test.sh: unknown preset '$preset' (expected default, asan or tsan)" >&2; exit 2 ;;
esac

cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
