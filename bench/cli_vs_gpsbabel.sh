#!/usr/bin/env bash
# Whole-process speed of `vantrel-cli inspect FILE` against gpsbabel reading the same file, on
# every corpus activity file above 1 MB, and inspect's peak memory on a file above 10 MB.
# usage: bench/cli_vs_gpsbabel.sh [VANTREL_CLI] [CORPUS_DIR]    (needs hyperfine, gpsbabel, python3)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cli="${1:-$here/../build/src/vantrel-cli}"
corpus="${2:-$here/../tests/data/corpus}"
runs="${RUNS:-30}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

median() {  # median seconds of hyperfine result $2 in $1
    python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]["median"])' "$1" "$2"
}

printf '%-46s %8s %10s %10s %7s %6s\n' file MB vantrel_ms babel_ms ratio target
for file in "$corpus"/*.gpx "$corpus"/*.tcx "$corpus"/*.fit; do
    size=$(stat -c %s "$file")
    ((size > 1000000)) || continue
    case "$file" in
        *.gpx) format=gpx target=3.2 ;;
        *.tcx) format=gtrnctr target=3.2 ;;
        *.fit) format=garmin_fit target=10 ;;
    esac
    # Timing an error path says nothing; a file either tool rejects is listed, not timed.
    if ! "$cli" inspect "$file" >/dev/null 2>&1 ||
        ! gpsbabel -i "$format" -f "$file" -o unicsv -F /dev/null >/dev/null 2>&1; then
        printf '%-46s %8.2f   skipped: rejected as invalid\n' "$(basename "$file")" "$(bc -l <<<"$size/1000000")"
        continue
    fi
    hyperfine -N --warmup 3 --runs "$runs" --export-json "$work/run.json" \
        "$cli inspect $file" "gpsbabel -i $format -f $file -o unicsv -F /dev/null" >/dev/null 2>"$work/hyperfine.log"
    ours=$(median "$work/run.json" 0)
    theirs=$(median "$work/run.json" 1)
    python3 -c 'import sys; n,s,a,b,t=sys.argv[1:]; print("%-46s %8.2f %10.1f %10.1f %6.1fx %5sx" % (n, int(s)/1e6, float(a)*1e3, float(b)*1e3, float(b)/float(a), t))' \
        "$(basename "$file")" "$size" "$ours" "$theirs" "$target"
done

# Peak memory: the largest corpus file, or a GPX above 10 MB made by repeating the trackpoints of
# the largest corpus GPX with times shifted past the previous copy.
largest=$(ls -S "$corpus"/*.gpx "$corpus"/*.tcx "$corpus"/*.fit | head -1)
if (($(stat -c %s "$largest") <= 10000000)); then
    source_gpx=$(ls -S "$corpus"/*.gpx | head -1)
    largest="$work/repeated.gpx"
    python3 - "$source_gpx" "$largest" <<'PY'
import datetime, re, sys
text = open(sys.argv[1], encoding="utf-8").read()
start, end = text.index("<trkpt"), text.rindex("</trkpt>") + len("</trkpt>")
points = text[start:end]
stamp = re.compile(r"<time>([^<]+)</time>")
times = [datetime.datetime.fromisoformat(t.replace("Z", "+00:00")) for t in stamp.findall(points)]
span = (max(times) - min(times)) + datetime.timedelta(seconds=1)
copies, k = [], 0
while sum(map(len, copies)) < 11_000_000:
    shift = span * k
    copies.append(stamp.sub(lambda m: "<time>" + (datetime.datetime.fromisoformat(
        m.group(1).replace("Z", "+00:00")) + shift).strftime("%Y-%m-%dT%H:%M:%SZ") + "</time>", points))
    k += 1
open(sys.argv[2], "w", encoding="utf-8").write(text[:start] + "\n".join(copies) + text[end:])
PY
fi
size=$(stat -c %s "$largest")
/usr/bin/time -v "$cli" inspect "$largest" >"$work/inspect.txt" 2>"$work/time.txt"
peak_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
python3 -c 'import sys; s,k=map(int,sys.argv[1:3]); print("inspect peak memory: %.1f MB for a %.1f MB file = %.2fx its size (target <= 4x)" % (k*1024/1e6, s/1e6, k*1024/s))' \
    "$size" "$peak_kb"
grep trackpoints "$work/inspect.txt"
