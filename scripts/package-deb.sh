#!/usr/bin/env bash
# Builds the Debian package from a build folder (build/, the normal preset,
# unless one is named) and checks it with lintian: any error or warning fails.
#   bash scripts/package-deb.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."

folder=${1:-build}
bash scripts/deps.sh
if [ "$folder" = build ]; then
  cmake --preset normal >/dev/null
  cmake --build --preset normal -j"$(nproc)"
else
  cmake --build "$folder" -j"$(nproc)"
fi

rm -f "$folder"/tarvo-gui_*.deb
(cd "$folder" && cpack -G DEB >/dev/null)
deb=$(ls "$folder"/tarvo-gui_*.deb)
echo "Package: $deb"
dpkg-deb --contents "$deb" | awk '{ print "  " $6 }'
# Lintian says so when it runs as root (CI does); the findings are what count.
status=0
report=$(lintian --fail-on error,warning --display-info "$deb" 2>&1) || status=$?
grep -v 'root privileges' <<<"$report" || true
if [ "$status" -ne 0 ]; then
  echo "package-deb: lintian found errors or warnings (status $status)"
  exit 1
fi
echo "package-deb: lintian clean"
