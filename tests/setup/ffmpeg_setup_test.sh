#!/usr/bin/env bash
# The FFmpeg tests' set-up (cmake/ffmpeg-for-tests.sh) against a fake apt: the source entry
# it adds (only for the release's main suite, only where none exists, fetching only its own
# list), the reuse of a binary built from the same source version, and the clean skip with a
# reason when the source cannot be had (a stale binary is not left to be tested).
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

mkdir -p "$work/bin"
# Indexes: FAKE_STATE/binary-index and FAKE_STATE/source-index hold "CODENAME COMPONENT URI"
# lines; FAKE_STATE/version is the source package's version (absent: not in the index).
cat > "$work/bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
echo "apt-get $*" >> "$FAKE_STATE/calls"
case "$1" in
indextargets)
    case "${@: -1}" in
    "Created-By: Sources") cut -d' ' -f1,2 "$FAKE_STATE/source-index" 2>/dev/null ;;
    "Created-By: Packages") cat "$FAKE_STATE/binary-index" 2>/dev/null ;;
    esac ;;
update)
    list=$(printf '%s\n' "$@" | sed -n 's/^Dir::Etc::sourcelist=//p')
    awk '/^URIs:/ { u = $2 } /^Suites:/ { s = $2 } END { print s, "main", u }' "$list" >> "$FAKE_STATE/source-index" ;;
source)
    echo "E: Failed to fetch ffmpeg source" >&2
    exit 100 ;;
esac
exit 0
FAKE
cat > "$work/bin/apt-cache" <<'FAKE'
#!/usr/bin/env bash
[ -s "$FAKE_STATE/source-index" ] && [ -f "$FAKE_STATE/version" ] && echo "Version: $(cat "$FAKE_STATE/version")"
exit 0
FAKE
# The tools the build needs, present whatever the machine has.
printf '#!/bin/sh\nexit 0\n' > "$work/bin/dpkg-source"
cp "$work/bin/dpkg-source" "$work/bin/x86_64-w64-mingw32-gcc-posix"
chmod +x "$work/bin/"*
printf 'VERSION_CODENAME=testrelease\n' > "$work/os-release"

# run_setup NAME: the set-up in a fresh state NAME; prints its output.
run_setup() {
    export FAKE_STATE="$work/$1"
    mkdir -p "$FAKE_STATE/sources.list.d" "$FAKE_STATE/build"
    : >> "$FAKE_STATE/calls"
    PATH="$work/bin:$PATH" VYX_OS_RELEASE="$work/os-release" VYX_APT_SOURCES_DIR="$FAKE_STATE/sources.list.d" \
        bash "$root/cmake/ffmpeg-for-tests.sh" "$FAKE_STATE/build" 2>&1
}
reason_of() { cat "$work/$1/build/ffmpeg/skip-reason" 2>/dev/null; }

echo "== No source index: one is added for the release's main suite, and only its list fetched"
mkdir -p "$work/added"
printf 'testrelease main http://mirror.example/debian/\ntestrelease-security main http://security.example/\n' \
    > "$work/added/binary-index"
echo "7:5.1.9-0+deb12u1" > "$work/added/version"
output=$(run_setup added)
status=$?
list="$work/added/sources.list.d/vyx-ffmpeg-source.sources"
if [ "$status" -eq 0 ] && grep -qx "Types: deb-src" "$list" && grep -qx "URIs: http://mirror.example/debian/" "$list" &&
   grep -qx "Suites: testrelease" "$list" && grep -qx "Components: main" "$list" &&
   grep -q "update .*Dir::Etc::sourcelist=$list -o Dir::Etc::sourceparts=-" "$work/added/calls"; then
    pass "deb-src entry for testrelease main from its own mirror, and an update of that list alone"
else
    fail "source entry: exit $status, list: $(cat "$list" 2>/dev/null | tr '\n' ' '), calls: $(cat "$work/added/calls")"
fi
# The fake cannot fetch the source: the set-up still succeeds, and says why the tests skip.
if [ "$status" -eq 0 ] && [[ "$(reason_of added)" == "apt-get source ffmpeg=7:5.1.9-0+deb12u1 failed"* ]] &&
   [ ! -e "$work/added/build/ffmpeg/ffmpeg.exe" ] && grep -q "will be skipped" <<<"$output"; then
    pass "a source that cannot be fetched: exit 0, reason \"$(reason_of added)\""
else
    fail "unfetchable source: exit $status, reason \"$(reason_of added)\": $output"
fi

echo "== An existing source entry is used as it is"
mkdir -p "$work/present"
echo "testrelease main http://other.example/debian/" > "$work/present/source-index"
echo "7:5.1.9-0+deb12u1" > "$work/present/version"
run_setup present >/dev/null
if [ -z "$(ls -A "$work/present/sources.list.d")" ] && ! grep -q "apt-get update" "$work/present/calls"; then
    pass "no second entry and no update"
else
    fail "with a source entry present: $(ls "$work/present/sources.list.d") $(cat "$work/present/calls")"
fi

echo "== A binary of the same source version is reused; a new version replaces it"
mkdir -p "$work/reuse/build/ffmpeg"
echo "testrelease main http://mirror.example/debian/" > "$work/reuse/source-index"
echo "7:5.1.9-0+deb12u1" > "$work/reuse/version"
echo "built" > "$work/reuse/build/ffmpeg/ffmpeg.exe"
chmod +x "$work/reuse/build/ffmpeg/ffmpeg.exe"
echo "7:5.1.9-0+deb12u1" > "$work/reuse/build/ffmpeg/source-version"
output=$(run_setup reuse)
if grep -q "up to date" <<<"$output" && ! grep -q "apt-get source" "$work/reuse/calls" &&
   [ -f "$work/reuse/build/ffmpeg/ffmpeg.exe" ] && [ -z "$(reason_of reuse)" ]; then
    pass "same version: reused without fetching"
else
    fail "same version: $output; calls: $(cat "$work/reuse/calls")"
fi
echo "7:5.1.10-0+deb12u1" > "$work/reuse/version"
run_setup reuse >/dev/null
if grep -q "apt-get source -qq ffmpeg=7:5.1.10-0+deb12u1" "$work/reuse/calls" &&
   [ ! -e "$work/reuse/build/ffmpeg/ffmpeg.exe" ] && [ -n "$(reason_of reuse)" ]; then
    pass "new version: fetched, and the old binary is not left to be tested when the fetch fails"
else
    fail "new version: calls $(cat "$work/reuse/calls"); reason \"$(reason_of reuse)\""
fi

echo "== Nothing to take a mirror from, or no source package: skipped with the reason"
mkdir -p "$work/nomirror"
run_setup nomirror >/dev/null
[ "$(reason_of nomirror)" = "no binary index for testrelease main to take a mirror from" ] &&
    [ -z "$(ls -A "$work/nomirror/sources.list.d")" ] &&
    pass "no binary index: \"$(reason_of nomirror)\", nothing written" ||
    fail "no binary index: reason \"$(reason_of nomirror)\", $(ls "$work/nomirror/sources.list.d")"
mkdir -p "$work/nopackage"
echo "testrelease main http://mirror.example/debian/" > "$work/nopackage/source-index"
run_setup nopackage >/dev/null
[ "$(reason_of nopackage)" = "the ffmpeg source package is not in the source index" ] &&
    pass "no package: \"$(reason_of nopackage)\"" || fail "no package: reason \"$(reason_of nopackage)\""

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all set-up checks passed"
