#!/usr/bin/env bash
# The shipped VYXCamService.exe, which runs as LocalSystem, carries no test seam: none of
# the test platform's hooks or the test build's waits file, and none of the setters that
# once let a test point the service at another program. Its symbol table shows what was
# linked in; the wide strings show what it would read.
# Usage: shipped_binary_test.sh VYXCamService.exe NM
set -euo pipefail
exe=$1
nm=$2
status=0

symbols=$("$nm" -C "$exe")
# A stripped binary would pass every check below without showing anything.
if ! grep -q 'vyx::service::WriteServiceEvent' <<<"$symbols"; then
    echo "FAIL: $exe has no symbol table to check"
    exit 1
fi
for seam in 'vyx::service::sys::TestHooks' 'vyx::service::sys::ScopedTestHooks' 'ForTesting' \
            'vyx::service::LoadTimingsBesideExecutable' 'vyx::service::ParseTimings'; do
    if grep -F -q "$seam" <<<"$symbols"; then
        echo "FAIL: $exe carries $seam:"
        grep -F "$seam" <<<"$symbols" | head -3
        status=1
    fi
done
wide=$(strings -e l "$exe")
if grep -q '\.timings$' <<<"$wide"; then
    echo "FAIL: $exe reads a waits file beside itself"
    status=1
fi
[ $status = 0 ] && echo "no test seam in $exe"
exit $status
