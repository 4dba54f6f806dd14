#!/usr/bin/env bash
# The 300-file FIT archive of fit_import_bench imported by vantrel-cli, against the FIT SDK from
# the npm registry decoding the same files in one Node process. Prints wall and CPU seconds,
# files per second and the size of the store for each run, so ratios come from one sitting.
#
#   bench/fit_import_vs_fitsdk.sh [BUILD_DIR] [OTHER_VANTREL_CLI]
#
# OTHER_VANTREL_CLI, when given (an older build, say), is timed the same way beside this one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
other=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sdk_dir=$root/third_party/npm
if [ ! -f "$sdk_dir/node_modules/@garmin/fitsdk/package.json" ]; then
  mkdir -p "$sdk_dir"
  (cd "$sdk_dir" && npm install --no-audit --no-fund --silent --prefix . @garmin/fitsdk@21 >/dev/null)
fi

"$build/bench/fit_import_bench" --write-archive "$work"
export XDG_DATA_HOME=$work/xdg XDG_CONFIG_HOME=$work/xdg VANTREL_STORE=$work/store.sqlite
files=$(find "$work/members" -name '*.fit' | wc -l)

# import LABEL CLI ARGS...: one import into a fresh store.
import() {
  local label=$1 cli=$2
  shift 2
  rm -f "$work"/store.sqlite*
  /usr/bin/time -o "$work/time" -f "%e %U %S" timeout 900 "$cli" import-zip "$@" "$work/fit-300.zip" >/dev/null
  awk -v label="$label" -v files="$files" -v store="$(stat -c %s "$work/store.sqlite")" \
    '{ printf "%-28s wall %7.2f s  cpu %7.2f s  files/s %7.1f  store %6.1f MB\n",
       label, $1, $2 + $3, files / $1, store / 1e6 }' "$work/time"
}

if [ -n "$other" ]; then import "other --threads 1" "$other" --threads 1; fi
import "this --threads 1" "$build/src/vantrel-cli" --threads 1
if [ -n "$other" ]; then import "other, all cores" "$other"; fi
import "this, all cores" "$build/src/vantrel-cli"
/usr/bin/time -o "$work/time" -f "%e %U %S" timeout 900 node "$root/bench/fitsdk_decode.mjs" "$work/members" >"$work/node"
awk -v node="$(cat "$work/node")" \
  '{ printf "%-28s wall %7.2f s  cpu %7.2f s  (%s)\n", "fitsdk decode, one process", $1, $2 + $3, node }' \
  "$work/time"
