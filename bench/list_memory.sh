#!/bin/bash
# Peak memory of `vantrel-cli list --json` (and the plain list) over 20,000 and 100,000
# activities: the rows stream out as they are read, so the peak should not grow with the store.
#   bash bench/list_memory.sh [BUILD_DIR] [OTHER_CLI]
# With OTHER_CLI (another build of the tool) both are measured on the same stores, in one run,
# and the ratio other/this is printed.
set -euo pipefail
build=${1:-build}
other=${2:-}
cli=$build/src/vantrel-cli
maker=$build/bench/history_store_maker
folder=$(mktemp -d /tmp/vantrel-list-memory-XXXXXX)
trap 'rm -rf "$folder"' EXIT

peak_kb() {  # CLI STORE ARGS... -> peak resident set in kB
    local binary=$1 store=$2
    shift 2
    /usr/bin/time -f %M -o "$folder/time" "$binary" --store "$store" "$@" >"$folder/out"
    cat "$folder/time"
}

for count in 20000 100000; do
    store=$folder/history-$count.sqlite
    "$maker" "$store" "$count"
    for args in "list --json" "list"; do
        # shellcheck disable=SC2086
        mine=$(peak_kb "$cli" "$store" $args)
        line="$count activities, $args: peak ${mine} kB"
        if [ -n "$other" ]; then
            cp "$folder/out" "$folder/mine"
            # shellcheck disable=SC2086
            theirs=$(peak_kb "$other" "$store" $args)
            cmp -s "$folder/out" "$folder/mine" || line="$line (OUTPUT DIFFERS)"
            line="$line; other ${theirs} kB; other/this $(awk "BEGIN{printf \"%.2f\", $theirs/$mine}")"
        fi
        echo "$line"
    done
done
