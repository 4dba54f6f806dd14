#!/usr/bin/env bash
# Builds the Debian package from a finished build folder and checks what a desktop gets from it:
# the files it installs, the .desktop entry and AppStream data as their validators see them, and
# the shared MIME database recognising a FIT file once the package's MIME XML is installed.
# Usage: tests/packaging/package_test.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
corpus="$(cd "$(dirname "$0")/../data/corpus" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() { echo "package test: $*" >&2; exit 1; }

(cd "$build" && rm -f vantrel_*.deb && cpack -G DEB >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb="$(ls "$build"/vantrel_*.deb)"
echo "package: $(basename "$deb")"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
for path in /usr/bin/vantrel /usr/bin/vantrel-cli /usr/bin/vantrel-cli-media \
  /usr/lib/vantrel/libvantrel_webmap.so /usr/lib/vantrel/libvantrel_pgstore.so \
  /usr/share/vantrel/places.tsv \
  /usr/share/applications/vantrel.desktop \
  /usr/share/mime/packages/vantrel.xml /usr/share/icons/hicolor/scalable/apps/vantrel.svg \
  /usr/share/icons/hicolor/256x256/apps/vantrel.png \
  /usr/share/metainfo/org.vantrel.Vantrel.metainfo.xml /usr/share/man/man1/vantrel-cli.1.gz \
  /usr/lib/systemd/user/vantrel-watch.service /usr/share/doc/vantrel/copyright; do
  grep -qx "$path" "$work/contents" || fail "$path is not in the package"
done
depends="$(dpkg-deb -f "$deb" Depends)"
for library in libqt6widgets6 libqt6webenginewidgets6 libqt6webenginecore6-bin libsqlite3-0 \
  libarchive13; do
  [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/vantrel.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.vantrel.Vantrel.metainfo.xml"
echo
# Our licence and the bundled map library's, each with its text.
copyright="$root/usr/share/doc/vantrel/copyright"
grep -q "^License: GPL-3.0-or-later" "$copyright" || fail "the copyright file lacks our licence"
grep -q "^Files: third_party/npm/node_modules/leaflet/\*" "$copyright" &&
  grep -q "^License: BSD-2-Clause" "$copyright" &&
  grep -q "^ THIS SOFTWARE IS PROVIDED BY THE COPYRIGHT HOLDERS" "$copyright" ||
  fail "the copyright file lacks Leaflet's licence"
[[ "$(file -b "$root/usr/share/icons/hicolor/256x256/apps/vantrel.png")" == "PNG image data, 256 x 256"* ]] ||
  fail "the PNG icon is not 256 x 256"
[[ "$(zcat "$root/usr/share/man/man1/vantrel-cli.1.gz")" == *"import\\-strava"* ]] ||
  fail "the manual page does not list the commands"
"$root/usr/bin/vantrel-cli" --help >/dev/null || fail "the installed vantrel-cli does not start"
# The headless watcher's user unit starts the installed tool's watcher, and nothing enables it
# behind the user's back.
unit="$root/usr/lib/systemd/user/vantrel-watch.service"
grep -qx "ExecStart=/usr/bin/vantrel-cli watch --devices" "$unit" || fail "the watcher unit runs: $(grep ExecStart "$unit")"
grep -qx "WantedBy=default.target" "$unit" || fail "the watcher unit cannot be enabled"
dpkg-deb -e "$deb" "$work/control"
! grep -qs -e systemctl -e vantrel-watch "$work/control"/p* || fail "the package enables the watcher unit"
"$root/usr/bin/vantrel-cli" watch --help | grep -q "watch \[--devices\]" || fail "vantrel-cli has no watch command"

# The file types, as a file manager would see them with the package's MIME XML installed.
export XDG_DATA_HOME="$work/data"
mkdir -p "$XDG_DATA_HOME/mime/packages"
cp "$root/usr/share/mime/packages/vantrel.xml" "$XDG_DATA_HOME/mime/packages/"
update-mime-database "$XDG_DATA_HOME/mime" 2>/dev/null
expect_type() {
  local type
  type="$(xdg-mime query filetype "$1")"
  [ "$type" = "$2" ] || fail "$(basename "$1") is $type, not $2"
}
expect_type "$corpus/fitparse__garmin-edge-500-activity.fit" application/vnd.ant.fit
cp "$corpus/fitparse__garmin-edge-500-activity.fit" "$work/no-extension"
expect_type "$work/no-extension" application/vnd.ant.fit
expect_type "$corpus/gpsbabel__fr110-14-laps.tcx" application/vnd.garmin.tcx+xml
grep -q "application/vnd.ant.fit" "$root/usr/share/applications/vantrel.desktop" ||
  fail "the .desktop entry does not open FIT files"
echo "package test: passed"
