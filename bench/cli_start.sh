#!/usr/bin/env bash
# Start-up cost of `vantrel-cli --help` against a C++ program that prints one line and links only
# the standard library: medians of alternating single runs, so that the machine's load drifts
# over both alike. Target: at most 2x.
# usage: bench/cli_start.sh [VANTREL_CLI]    (needs hyperfine, g++, python3; ROUNDS, default 20)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cli="${1:-$here/../build/src/vantrel-cli}"
rounds="${ROUNDS:-20}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cat >"$work/hello.cpp" <<'CPP'
#include <iostream>
int main() { std::cout << "hello\n"; }
CPP
g++ -O2 -o "$work/hello" "$work/hello.cpp"

for ((round = 0; round < rounds; ++round)); do
    hyperfine -N --runs 1 --style none --export-json "$work/$round.json" \
        "$cli --help" "$work/hello" >/dev/null 2>&1
done
python3 - "$work" "$rounds" <<'PY'
import json, statistics, sys
work, rounds = sys.argv[1], int(sys.argv[2])
runs = [json.load(open(f"{work}/{r}.json"))["results"] for r in range(rounds)]
cli = statistics.median(r[0]["times"][0] for r in runs)
bare = statistics.median(r[1]["times"][0] for r in runs)
print(f"vantrel-cli --help {cli * 1e3:.2f} ms, bare C++ program {bare * 1e3:.2f} ms: "
      f"{cli / bare:.2f}x (target <= 2x), medians of {rounds} alternating runs")
PY
