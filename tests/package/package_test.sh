#!/usr/bin/env bash
# The release zip as a Windows user meets it, under Wine: it unpacks, install.cmd installs and
# starts the service, a camera plugged before the service's restart is listed within seconds,
# and uninstall.cmd leaves no service, no registry key of ours and no registered filter; each
# script run twice is harmless. The service is a 32-bit program: on a host that cannot run those the test is
# skipped (exit 77).
# Usage: package_test.sh   (run by CTest in the x64 tree, after a build of both architectures)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
# Every Wine program has a limit of its own (the service's start takes about 15 s), so a hang
# fails the run in minutes.
win() { timeout 90 "$root/cmake/wine-run" "$@" </dev/null; }
if ! "$root/cmake/wine-run" --host-runs-32bit; then
    echo "SKIPPED: this host cannot run 32-bit programs, so Wine cannot start the 32-bit service"
    exit 77
fi
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
work=$(mktemp -d "$build/package-test.XXXXXX")
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# The zip's own contents are package_contents_test.sh's part.
zip=$(VYX_BUILD_ROOT="$build" VYX_PACKAGE_DIR="$work" bash "$root/package/package.sh" | tail -1)
unzip -q "$zip" -d "$work/unpacked"
folder=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d | head -1)
vyxcap="$folder/tools_x64/vyxcap.exe"
vyxsim="$folder/tools_x64/vyxsim.exe"
device="VYX Kestrel 1C Camera"
# The model's filter class, first identifier of its catalogue row.
clsid=$(grep '^Kestrel 1C,' "$root/catalogue/models.csv" | grep -o '{[0-9A-F-]*}' | head -1)

cleanup() {
    win cmd /c "$(winpath "$folder/uninstall.cmd")" >/dev/null 2>&1 || true
    win "$vyxsim" unplug --all >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
win "$vyxsim" unplug --all >/dev/null

script() {  # script NAME: runs the package's NAME.cmd, its output in $work/NAME.out
    local status=0
    win cmd /c "$(winpath "$folder/$1.cmd")" >"$work/$1.out" 2>&1 || status=$?
    return $status
}

for round in 1 2; do
    if script install && grep -q "install: done" "$work/install.out"; then
        pass "install.cmd, run $round: $(head -1 "$work/install.out" | tr -d '\r')"
    else
        fail "install.cmd, run $round: $(tr -d '\r' <"$work/install.out")"
    fi
done
win sc query VYXDshowService | grep -q RUNNING && pass "the service runs" || fail "the service is not running"

# Wine delivers no device events to services, so the running service sees the plug at its
# next start: restart it, and the camera is listed within the start-up wait plus one pass.
win "$vyxsim" plug "Kestrel 1C" >/dev/null
"$root/cmake/wine-restart-service" VYXDshowService
listed=no
for _ in $(seq 1 40); do  # the service settles for 15 s before its first pass
    if win "$vyxcap" list | tr -d '\r' | grep -qx "$device"; then listed=yes; break; fi  # Windows line ends
    sleep 1
done
[ "$listed" = yes ] && pass "the camera plugged before a restart is listed" ||
    fail "\"$device\" was not listed within 40 s of the service's restart"

for round in 1 2; do
    if script uninstall && grep -q "uninstall: done" "$work/uninstall.out"; then
        pass "uninstall.cmd, run $round"
    else
        fail "uninstall.cmd, run $round: $(tr -d '\r' <"$work/uninstall.out")"
    fi
done
win sc query VYXDshowService >/dev/null 2>&1 && fail "the service is still there" || pass "no service"
for key in 'HKLM\SYSTEM\CurrentControlSet\Services\VYXDshowService' \
           'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\VYXDshowService' \
           "HKLM\\Software\\Classes\\CLSID\\$clsid"; do
    for view in /reg:64 /reg:32; do
        win reg query "$key" $view >/dev/null 2>&1 && fail "$key ($view) is left behind"
    done
done
win "$vyxcap" list | grep -q "^VYX " && fail "a VYX filter is still registered: $(win "$vyxcap" list)"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all package checks passed"
