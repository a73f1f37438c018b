#!/usr/bin/env bash
# Installs what is missing, builds a release build and makes the Debian
# package from it with CPack, then checks the package with lintian: an error
# or a hardening tag fails the run, the rest is shown. ZELK_PACKAGE_BUILD
# names another build folder than build-release.
#
# Built as Debian builds its packages: with dpkg-buildflags' flags (fortify,
# stack protector, relro and bind-now; the compiler makes PIE by default, and
# -ffile-prefix-map keeps the source folder out of the files), and with every
# time stamp at SOURCE_DATE_EPOCH, the last commit's time unless given, so
# two builds of one commit make the same package.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${ZELK_PACKAGE_BUILD:-build-release}
export DEB_BUILD_MAINT_OPTIONS=${DEB_BUILD_MAINT_OPTIONS:-hardening=+all}
eval "$(dpkg-buildflags --export=sh)"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
    echo "No git history: the package carries today's time stamps" >&2
fi
[ -z "${SOURCE_DATE_EPOCH:-}" ] || export SOURCE_DATE_EPOCH
# CMake takes no CPPFLAGS: the fortify define goes with the compiler's flags.
# The build folder's own name is mapped too (the last map that fits wins):
# the debugging information, stripped but hashed into the build ID, would
# otherwise differ between two folders.
mkdir -p "$build"
map="-ffile-prefix-map=$(cd "$build" && pwd -P)=build"
cmake --preset release -B "$build" -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS $map" \
  -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS" >/dev/null
# The help file is made again: the resource compiler stamps its topics with
# SOURCE_DATE_EPOCH, and a build without it stamped the files' own times.
rm -f "$build/bin/zelksdk.chm"
# Every target, not the preset's: the package carries every executable.
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/zelksoft_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/zelksoft_*.deb)
echo "== lintian -I --pedantic $deb"
lintian --fail-on error -I --pedantic "$deb" | tee "$build/lintian.txt"
if grep -q hardening "$build/lintian.txt"; then
  echo "lintian: a hardening flag did not reach the build" >&2
  exit 1
fi
echo "Package: $deb"
echo "Install it with: sudo apt install ./$deb"
