#!/usr/bin/env bash
# The main job: builds the updater application, then stages, installs, shows, verifies and
# uninstalls it in a fresh sandbox root, and shows that nothing of it is left.
# Usage: tools/demo.sh [ROOT]   ROOT: an empty folder to use (default: a new temporary one).
set -euo pipefail

case "${1:-}" in
  -h|--help)
    echo "usage: tools/demo.sh [ROOT]"
    echo "Installs missing Debian packages, builds, then runs the host updater's stage, install,"
    echo "status --verify, uninstall and status against ROOT (default: a new temporary folder)."
    exit 0 ;;
  -*)
    echo "tools/demo.sh: unknown option '$1' (try --help)" >&2
    exit 2 ;;
esac

cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target OrvaneLiteUpdater

root="${1:-$(mktemp -d /tmp/orvane-sandbox.XXXXXX)}"
host="build/products/Orvane Lite Updater.app/Contents/MacOS/Orvane Lite Updater"
step() { printf '\n$ Orvane Lite Updater %s\n' "$*"; "$host" "$@"; }

echo "Sandbox root: $root"
step stage --root "$root"
step install --root "$root"
step status --root "$root"
step status --verify --root "$root"
step uninstall --root "$root"
step status --root "$root"
printf '\nWhat the updater left under the root (the staged application aside):\n'
(cd "$root" && find . -path './Applications' -prune -o -type f -print | sort)
printf '\nLog: %s\n' "$root/Library/Logs/OrvaneLiteUpdater.log"
