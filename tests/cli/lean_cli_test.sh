#!/usr/bin/env bash
# vantrel-cli as a process: it must not load the image and HTTP libraries, must hand the media
# commands to vantrel-cli-media with the store and arguments intact, and must say so clearly,
# touching nothing, when that sibling is missing.
# usage: lean_cli_test.sh PATH/TO/vantrel-cli
set -uo pipefail
cli="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

needed=$(readelf -d "$cli" | grep NEEDED)
# The PostgreSQL client (and the TLS, Kerberos and LDAP libraries it brings) is a module loaded
# only for a server location.
if grep -Eqi 'vips|curl|glib|gobject|libpq|ssl|krb5|ldap' <<<"$needed"; then fail "vantrel-cli needs $needed"; fi
# Nor libarchive (which brings libxml2 and ICU), the journal's library (libgcrypt) or the series
# packer ISA-L: they are loaded by the commands that use them.
loaded=$(ldd "$cli")
if grep -Eqi 'libarchive|libsystemd|libxml2|libicu|libgcrypt|libisal' <<<"$loaded"; then
  fail "vantrel-cli loads at start: $loaded"
fi

cat >"$work/ride.gpx" <<'GPX'
<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1"><trk><trkseg>
<trkpt lat="47.3769" lon="8.5417"><time>2021-06-01T08:00:00Z</time></trkpt>
<trkpt lat="47.3779" lon="8.5427"><time>2021-06-01T08:00:10Z</time></trkpt>
</trkseg></trk></gpx>
GPX
store="$work/store.sqlite"
"$cli" --store "$store" import "$work/ride.gpx" >/dev/null 2>&1 || fail "import"
id=$("$cli" --store "$store" list | cut -f1)
[[ -n "$id" ]] || fail "no activity listed after import"

# The sibling reads the same store: the activity is found and the missing photo is named.
"$cli" --store "$store" photo-add "$id" "$work/no such photo.jpg" >"$work/out" 2>"$work/err"
status=$?
grep -q "no such photo.jpg" "$work/err" || fail "photo-add error was: $(cat "$work/err")"
grep -q "not found\|unknown\|no activity" "$work/err" && fail "photo-add lost the store: $(cat "$work/err")"
[[ $status == 1 ]] || fail "photo-add of a missing file exited $status"
"$cli" --store "$store" geocode --bogus 2>"$work/err"
[[ $? == 1 ]] && grep -q "unknown option --bogus" "$work/err" || fail "geocode --bogus: $(cat "$work/err")"
# Every ID reaches the sibling, which finds the first in the store and refuses the second
# before asking any weather service.
unknown=00000000-0000-4000-8000-000000000000
"$cli" --store "$store" weather "$id" "$unknown" 2>"$work/err"
[[ $? == 1 ]] && grep -q "no activity with ID $unknown" "$work/err" || fail "weather IDs: $(cat "$work/err")"

# Alone, the tool refuses media commands with a message and leaves the store as it was.
mkdir "$work/alone" && cp "$cli" "$work/alone/vantrel-cli"
before=$(sha256sum "$store")
"$work/alone/vantrel-cli" --store "$store" geocode --all >/dev/null 2>"$work/err"
status=$?
[[ $status == 1 ]] || fail "geocode without vantrel-cli-media exited $status"
grep -q "vantrel-cli-media" "$work/err" || fail "no helpful message: $(cat "$work/err")"
[[ "$(sha256sum "$store")" == "$before" ]] || fail "store changed"
[[ "$("$work/alone/vantrel-cli" --store "$store" list | cut -f1)" == "$id" ]] || fail "list alone"

# A ZIP archive still imports: libarchive is found when it is needed.
sed 's/2021-06-01/2021-06-02/' "$work/ride.gpx" >"$work/other.gpx"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1], "w").write(sys.argv[2], "rides/other.gpx")' \
  "$work/rides.zip" "$work/other.gpx"
"$cli" --store "$store" import-zip "$work/rides.zip" >"$work/out" 2>&1 || fail "import-zip: $(cat "$work/out")"
[[ $("$cli" --store "$store" list | wc -l) == 2 ]] || fail "the zipped activity was not imported"

exit $((failures > 0))
