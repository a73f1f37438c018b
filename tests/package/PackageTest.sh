#!/usr/bin/env bash
# The Debian package of this build, as a user gets it: catches a file missing
# from the package or one that should not be there, a desktop entry or
# AppStream file the desktop would reject, a version that differs from the
# project's, and an installed program that does not make, seed or keep its
# per-user folder, writes beside itself, or hides a changed ratings table,
# and a manual page without the version.
# Usage: PackageTest.sh BUILD_DIR SOURCE_DIR WORK_DIR VERSION
set -euo pipefail
build=$1 source=$2 work=$3 version=$4

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work/home"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/out/zelksoft_"$version"_*.deb)
[ -f "${debs[0]}" ] || fail "no zelksoft_${version} package in $work/out"
deb=${debs[0]}
dpkg-deb -x "$deb" "$work/root"
root=$work/root

[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
[ "$(dpkg-deb -f "$deb" Section)" = "electronics" ] || fail "section"
# The modules' libraries too: the program does not load them itself.
for lib in libqt6widgets6 libqt6charts6 libqt6serialport6 libqt6network6; do
  dpkg-deb -f "$deb" Depends | grep -q "$lib" ||
    fail "no dependency on $lib from the shared libraries: $(dpkg-deb -f "$deb" Depends)"
done

id=org.zelksoft.ZelkSoft
expected=(
  usr/bin/ZelkSoft usr/bin/zelk-unitsim
  usr/lib/zelksoft/modules/serial-line.so usr/lib/zelksoft/modules/trend-charts.so
  usr/lib/zelksoft/modules/metrics-http.so
  usr/share/lintian/overrides/zelksoft
  usr/share/zelksoft/scale.ini usr/share/zelksoft/ZelkGui.ini usr/share/zelksoft/Zelk.ini
  usr/share/zelksoft/Tooltips.ini usr/share/zelksoft/zelksdk.chm
  usr/share/zelksoft/plans/burn-in.plan
  usr/share/applications/$id.desktop usr/share/metainfo/$id.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/$id.svg
  usr/share/man/man1/ZelkSoft.1.gz
  usr/share/doc/zelksoft/copyright usr/share/doc/zelksoft/changelog.gz
)
for size in 16 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$id.png")
done
# Pages and programs other work adds: carried once they exist.
[ -f "$source/packaging/man/zelk-unitsim.1" ] && expected+=(usr/share/man/man1/zelk-unitsim.1.gz)
if [ -x "$build/bin/zelkctl" ]; then
  expected+=(usr/bin/zelkctl)
  [ -f "$source/packaging/man/zelkctl.1" ] && expected+=(usr/share/man/man1/zelkctl.1.gz)
fi
check_file_list() {
  diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . -type f | sed 's|^\./||' | sort) ||
    fail "the package's files differ from the list ('<' missing, '>' unexpected) $1"
}
check_file_list ""

lint=$(lintian --fail-on error "$deb" 2>&1) || fail "lintian reports an error: $lint"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli"
for page in "$root"/usr/share/man/man1/*.1.gz; do
  man -l "$page" >/dev/null || fail "man page $page"
  zcat "$page" | sed -n 1p | grep -q "\"ZelkSoft $version\"" || fail "no version in $page"
done

program=$root/usr/bin/ZelkSoft
# Start-up loads no library that only a module needs; the installed programs
# find the modules: a port that does not exist fails as a port.
! readelf -d "$program" | grep -E 'Qt6(Charts|OpenGL|SerialPort|Network|HttpServer|WebSockets)' ||
  fail "the program loads a module's library at start"
! ldd "$root"/usr/lib/zelksoft/modules/*.so | grep 'not found' || fail "a module's library is missing"
if [ -x "$root/usr/bin/zelkctl" ]; then
  mkdir -p "$work/ctl"
  line=$(HOME="$work/home" "$root/usr/bin/zelkctl" --app-dir "$work/ctl" --bus serial \
    --port "$work/no-such-tty" read 1 2>&1) && fail "read on no port: $line"
  grep -q "no-such-tty" <<<"$line" && ! grep -q "missing" <<<"$line" ||
    fail "the installed zelkctl did not reach its line module: $line"
fi
[ "$("$program" --version)" = "ZelkSoft $version" ] || fail "--version: $("$program" --version)"
"$program" --help | grep -q -- '--app-dir' || fail "--help"

home=$work/home
user=$home/.local/share/zelksoft
start() {
  started=$(env -u ZELK_APP_DIR -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" \
    QT_QPA_PLATFORM=offscreen ZELK_EXIT_WHEN_SHOWN=1 timeout 60 "$program" 2>&1) ||
    fail "the unpacked program did not start and end cleanly: $started"
  grep -q '^shown$' <<<"$started" || fail "the launcher was not shown: $started"
}

start
for f in scale.ini ZelkGui.ini Zelk.ini Tooltips.ini; do
  cmp -s "$root/usr/share/zelksoft/$f" "$user/$f" || fail "$f not seeded into $user"
done
[ ! -e "$user/zelksdk.chm" ] || fail "the help, read where it was shipped, was copied"
check_file_list "after a start: the installed program wrote beside itself"

# A changed setting survives the next start; a new shipped ratings table is
# offered beside the user's, which stays.
sed -i 's/^WindowLines=.*/WindowLines=250/' "$user/ZelkGui.ini"
cp "$user/scale.ini" "$work/scale.mine"
printf '\n[ShippedLater]\nNote=1\n' >>"$root/usr/share/zelksoft/scale.ini"
start
grep -q '^WindowLines=250' "$user/ZelkGui.ini" || fail "the changed setting was lost"
cmp -s "$work/scale.mine" "$user/scale.ini" || fail "the user's scale.ini was replaced"
cmp -s "$root/usr/share/zelksoft/scale.ini" "$user/scale.ini.new" || fail "no scale.ini.new"
grep -qs 'scale.ini.new' "$user"/error*.txt || fail "the error file does not mention scale.ini.new"
grep -q 'scale.ini.new' <<<"$started" || fail "the user was not told of scale.ini.new: $started"
start
! grep -q 'scale.ini.new' <<<"$started" || fail "scale.ini.new told again: $started"
echo "package $deb: files, entries, version and the installed program checked"
