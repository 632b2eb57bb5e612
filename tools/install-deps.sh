#!/usr/bin/env bash
# Installs the Debian packages the build needs, and any named as arguments, when missing.
# Usage: tools/install-deps.sh [PACKAGE]...
set -euo pipefail

case "${1:-}" in
  -h|--help)
    echo "usage: tools/install-deps.sh [PACKAGE]..."
    echo "Installs with apt-get the Debian packages the build needs, and each PACKAGE named, that"
    echo "are not installed yet; does nothing when all are."
    exit 0 ;;
  -*)
    echo "tools/install-deps.sh: unknown option '$1' (try --help)" >&2
    exit 2 ;;
esac

packages=(cmake ninja-build g++ pkg-config libplist-dev libicu-dev libgtest-dev libgmock-dev libbenchmark-dev
          libmnl-dev "$@")
missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
