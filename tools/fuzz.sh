#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each one on a copy of its seed corpus.
# Usage: tools/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail

usage() {
  cat <<'USAGE'
usage: tools/fuzz.sh [SECONDS] [TARGET...]
Installs clang and its sanitizer runtimes when missing, builds the fuzz preset (build-fuzz/)
and runs each fuzz target (all of fuzz/*.cpp, or the TARGETs named) for SECONDS (default 60).
Each target works on build-fuzz/corpus/<target>, seeded from fuzz/corpus/<target>; inputs it
finds stay there for the next run. Logs go to build-fuzz/fuzz-logs/, crashing inputs to
build-fuzz/fuzz-artifacts/<target>/. Exits 1 when any target crashes, naming each.
Reproduce a crash with: build-fuzz/fuzz/<target> <crash file>
USAGE
}

case "${1:-}" in
  -h|--help) usage; exit 0 ;;
esac
duration="${1:-60}"
if ! [[ "$duration" =~ ^[0-9]+$ ]] || [ "$duration" -eq 0 ]; then
  echo "tools/fuzz.sh: SECONDS must be a positive whole number, not '$duration'" >&2
  exit 2
fi
shift $(( $# > 0 ? 1 : 0 ))

cd "$(dirname "$0")/.."
# clang provides /usr/bin/clang; the runtimes hold libFuzzer and the sanitizers.
bash tools/install-deps.sh clang clang-14 libclang-rt-14-dev

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in fuzz/*.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi
for target in "${targets[@]}"; do
  if [ ! -f "fuzz/$target.cpp" ]; then
    echo "tools/fuzz.sh: no fuzz target '$target' (fuzz/$target.cpp)" >&2
    exit 2
  fi
done

cmake --preset fuzz
cmake --build --preset fuzz

build=build-fuzz
crashed=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  artifacts="$build/fuzz-artifacts/$target/"
  log="$build/fuzz-logs/$target.log"
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  cp -R "fuzz/corpus/$target/." "$corpus/"
  echo "== $target: ${duration}s"
  if "$build/fuzz/$target" -max_total_time="$duration" -timeout=10 -artifact_prefix="$artifacts" \
       "$corpus" >"$log" 2>&1; then
    grep -E '^(Done|#[0-9]+ +DONE)' "$log" | tail -1 || true
  else
    crashed+=("$target")
    tail -n 40 "$log"
    echo "== $target CRASHED; input(s) in $artifacts, log in $log"
  fi
done

if [ ${#crashed[@]} -gt 0 ]; then
  echo "Fuzz targets that crashed: ${crashed[*]}" >&2
  exit 1
fi
echo "No crash in: ${targets[*]}"
