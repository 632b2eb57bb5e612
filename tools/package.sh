#!/usr/bin/env bash
# Builds the Debian package, installs it into a scratch dpkg root, runs the installed host
# updater through a whole cycle against a sandbox root, then removes the package and checks
# that nothing of it is left.
# Usage: tools/package.sh [--keep]   --keep: leave the scratch folder for inspection.
set -euo pipefail

keep=0
case "${1:-}" in
  -h|--help)
    echo "usage: tools/package.sh [--keep]"
    echo "Builds the default preset and its Debian package (cpack -G DEB), installs the package"
    echo "with dpkg --root into a scratch folder, runs stage, install, status --verify and"
    echo "uninstall of the installed host against a sandbox root, removes the package and checks"
    echo "that it left nothing. --keep leaves the scratch folder and says where it is."
    exit 0 ;;
  --keep) keep=1 ;;
  "") ;;
  *) echo "tools/package.sh: unknown option '$1' (try --help)" >&2; exit 2 ;;
esac

cd "$(dirname "$0")/.."
bash tools/install-deps.sh dpkg-dev
cmake --preset default >/dev/null
cmake --build --preset default --target OrvaneLiteUpdater
(cd build && rm -f ./*.deb && cpack -G DEB >cpack.log 2>&1) || { cat build/cpack.log >&2; exit 1; }
package="$(ls build/*.deb)"
echo "Package: $package"

scratch="$(mktemp -d /tmp/orvane-package.XXXXXX)"
if [ "$keep" -eq 0 ]; then
  trap 'rm -rf "$scratch"' EXIT
fi
dpkg_root="$scratch/dpkg-root"
mkdir -p "$dpkg_root/var/lib/dpkg/info" "$dpkg_root/var/lib/dpkg/updates"
touch "$dpkg_root/var/lib/dpkg/status"
# The scratch root has no other packages, so the dependencies are the host machine's.
dpkg --root="$dpkg_root" --force-depends -i "$package" >"$scratch/dpkg.log" 2>&1 || {
  cat "$scratch/dpkg.log" >&2
  exit 1
}

for shipped in usr/share/man/man1/orvane-lite-updater.1 usr/share/bash-completion/completions/orvane-lite-updater; do
  if [ ! -f "$dpkg_root/$shipped" ]; then
    echo "tools/package.sh: the package does not install /$shipped" >&2
    exit 1
  fi
done
host="$dpkg_root/usr/bin/orvane-lite-updater"
"$host" --version
sandbox="$scratch/sandbox"
mkdir "$sandbox"
for command in stage install "status --verify" uninstall; do
  echo "\$ orvane-lite-updater $command --root $sandbox"
  # shellcheck disable=SC2086
  "$host" $command --root "$sandbox" >/dev/null 2>"$scratch/stderr" || {
    cat "$scratch/stderr" >&2
    echo "tools/package.sh: the installed host failed: $command" >&2
    exit 1
  }
done

dpkg --root="$dpkg_root" --purge orvane-lite-updater >/dev/null
left="$(cd "$dpkg_root" && find . ! -type d ! -path './var/lib/dpkg/*' | sort)"
if [ -n "$left" ]; then
  echo "tools/package.sh: removing the package left files behind:" >&2
  echo "$left" >&2
  exit 1
fi
echo "Installed, ran a whole cycle and removed cleanly."
if [ "$keep" -eq 1 ]; then
  echo "Scratch folder: $scratch"
fi
