#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test: the preset's default set,
# then its stress set (tests named "...Stress..."). The tests run as root, so they run in a
# private mount namespace where every file system is read-only except the build folder and a
# fresh, empty /tmp and /dev/shm: a fault in the code under test cannot reach the machine.
# Usage: tools/test.sh [PRESET]   PRESET: default (the default), ci (the default build with
# warnings as errors, in the same folder), asan or tsan.
# Where no namespace can be made, the script stops; KVL_TEST_UNPROTECTED=1 runs the tests
# without one instead.
set -euo pipefail

case "${1:-}" in
  -h|--help)
    echo "usage: tools/test.sh [default|ci|asan|tsan]"
    echo "Installs missing Debian packages, builds the preset and runs its tests with ctest, inside"
    echo "a mount namespace where only the build folder, /tmp and /dev/shm can be written."
    echo "KVL_TEST_UNPROTECTED=1 runs them without the namespace where none can be made."
    exit 0 ;;
esac

cd "$(dirname "$0")/.."
source_dir="$(pwd -P)"

# The default set of the preset, then its stress set.
run_tests() {
  ctest --preset "$1"
  ctest --preset "$([[ "$1" == default ]] && echo stress || echo "$1-stress")"
}

# Run by the script itself inside the new namespace: confines it, then runs both sets.
if [[ "${1:-}" == "--confined" ]]; then
  preset="$2"
  build="$3"
  mount --bind "$build" "$build"
  # Mount points are listed with blanks escaped as octal; the last listed of a path is on top.
  while read -r _ _ _ _ mount_point _; do
    mount_point="$(printf '%b' "$mount_point")"
    if [[ "$mount_point" != "$build" ]]; then
      mount -o remount,bind,ro "$mount_point"
    fi
  done < /proc/self/mountinfo
  mount -t tmpfs -o mode=1777,nosuid,nodev kvl-test-tmp /tmp
  mount -t tmpfs -o mode=1777,nosuid,nodev kvl-test-shm /dev/shm
  if ( : > /kvl-write-check ) 2> /dev/null; then
    rm -f /kvl-write-check
    echo "tools/test.sh: / is still writable in the test namespace; not running the tests" >&2
    exit 1
  fi
  export TMPDIR=/tmp
  run_tests "$preset"
  exit 0
fi

preset="${1:-default}"
case "$preset" in
  default|ci) build="$source_dir/build" ;;
  asan|tsan) build="$source_dir/build-$preset" ;;
  *) echo "tools/test.sh: unknown preset '$preset' (expected default, ci, asan or tsan)" >&2; exit 2 ;;
esac
if [[ "$source_dir/" == /tmp/* ]]; then
  echo "tools/test.sh: the tests replace /tmp with an empty one; move the sources out of /tmp" >&2
  exit 2
fi

# Checked before the build, so that a machine without the right learns it at once.
if unshare --mount --propagation private true 2> /dev/null; then
  confined=1
elif [[ "${KVL_TEST_UNPROTECTED:-}" == 1 ]]; then
  confined=0
  echo "tools/test.sh: KVL_TEST_UNPROTECTED=1: the tests will run without a private mount namespace" >&2
else
  echo "tools/test.sh: cannot make a private mount namespace (needs root or CAP_SYS_ADMIN), so the" >&2
  echo "tests would run against the real machine. Run as root, or set KVL_TEST_UNPROTECTED=1 to" >&2
  echo "run them unprotected." >&2
  exit 1
fi

bash tools/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset"
if [[ "$confined" == 1 ]]; then
  exec unshare --mount --propagation private bash "$source_dir/tools/test.sh" --confined "$preset" "$build"
fi
run_tests "$preset"
