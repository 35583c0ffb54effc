#!/usr/bin/env bash
# Counts the Wine server requests of each reconcile pass that service_benchmark traces: runs
# a traced wineserver (wineserver -d1) in the tree's Wine prefix, runs the benchmark in its
# trace mode, and counts, per case, the requests its thread makes between the markers around
# each pass (see ServiceBenchmark.cpp). Stop the tests of that prefix first: the prefix's
# server is restarted.
# Usage: tests/service/count-server-requests.sh BENCHMARK.exe [PASSES]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
benchmark=$1
passes=${2:-20}
build=${VYX_BUILD_ROOT:-$root/build}
export WINEPREFIX=${VYX_WINEPREFIX:-$build/wineprefix-x64}
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT

wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineserver -f -d1 2>"$trace" &
server=$!
sleep 1  # set-up: lets the traced server take the prefix before a client starts one
"$root/cmake/wine-run" "$benchmark" trace "$passes"
wineserver -k 2>/dev/null || true
wait "$server" || true

# Requests are "tid: name( ... )"; replies "tid: name() = STATUS ...".
awk '
    match($0, /^[0-9a-f]+: open_event\(.*name=L"VyxBench\.[^."]+\.(begin|end)"/) {
        split($0, part, ":"); tid = part[1]
        name = $0; sub(/.*VyxBench\./, "", name); sub(/".*/, "", name)
        split(name, bits, "."); kase = bits[1]
        if (bits[2] == "begin") { open[tid] = kase; count[tid] = 0 }
        else if (tid in open) { total[kase] += count[tid]; runs[kase]++; delete open[tid] }
        next
    }
    /^[0-9a-f]+: [a-z_0-9]+\(/ && !/\) = / {
        split($0, part, ":"); tid = part[1]
        if (tid in open) count[tid]++
    }
    END {
        for (kase in runs) printf "%-24s %4d passes  %6.1f requests per pass\n", kase, runs[kase], total[kase] / runs[kase]
    }
' "$trace"
