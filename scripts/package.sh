#!/usr/bin/env bash
# Installs what is missing, builds a release build and makes the Debian
# package from it with CPack, then checks the package with lintian: an error
# fails the run, warnings are shown. ZELK_PACKAGE_BUILD names another build
# folder than build-release.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${ZELK_PACKAGE_BUILD:-build-release}
cmake --preset release -B "$build" >/dev/null
# Every target, not the preset's: the package carries every executable.
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/zelksoft_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/zelksoft_*.deb)
echo "== lintian $deb"
lintian --fail-on error "$deb"
echo "Package: $deb"
echo "Install it with: sudo apt install ./$deb"
