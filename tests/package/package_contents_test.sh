#!/usr/bin/env bash
# What of the release zip needs no 32-bit program, checked on any host: the zip's folder and
# files, README-Windows.txt as a Windows user opens it, a model's 64-bit filter registered
# with regsvr32 from the unpacked DX_x64 folder, and vyxcap from tools_x64 listing and
# recording the plugged camera through it. The install scripts and the service are
# package_test.sh's part.
# Usage: package_contents_test.sh   (run by CTest in the x64 tree, after a build of both architectures)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
# Every Wine program has a limit of its own, so a hang fails the check instead of the run.
win() { timeout 60 "$root/cmake/wine-run" "$@" </dev/null; }
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
work=$(mktemp -d "$build/package-contents-test.XXXXXX")
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

zip=$(VYX_BUILD_ROOT="$build" VYX_PACKAGE_DIR="$work" bash "$root/package/package.sh" | tail -1)
version=$(sed -n 's/^PRODUCTVERSION \([0-9]*\),\([0-9]*\),\([0-9]*\),.*/\1.\2.\3/p' "$root/service/host/VYXCamService.rc")
name="VYXCameraDriver-$version"
[ "$(basename "$zip")" = "$name.zip" ] || fail "the zip is named $(basename "$zip"), not $name.zip"
unzip -q "$zip" -d "$work/unpacked"
folder="$work/unpacked/$name"
[ "$(ls "$work/unpacked")" = "$name" ] || fail "the zip's top level is \"$(ls "$work/unpacked" | tr '\n' ' ')\", not the one folder $name"

# The zip holds exactly the user's files: one filter per catalogue model in each DX folder.
models=$(grep -c '^[^#,]*,[0-9A-F]\{4\},VYX_' "$root/catalogue/models.csv")
expected=$(
    printf '%s\n' VYXCamService.exe install.cmd uninstall.cmd README-Windows.txt \
        tools_x64/vyxcap.exe tools_x64/vyxsim.exe tools_x64/vyxcatalog.exe tools_x64/VyxonCamera.dll \
        DX_x64/VYXVirtualCamera.exe
    for arch in x86 x64; do
        echo "DX_$arch/VyxonCamera.dll"
        grep -o ',VYX_[A-Za-z0-9]*\.dll,' "$root/catalogue/models.csv" | tr -d , | sed "s|^|DX_$arch/|"
    done | sort
)
got=$(cd "$folder" && find . -type f | sed 's|^\./||' | sort)
if [ "$(sort <<<"$expected")" = "$got" ]; then
    pass "the zip holds $(wc -l <<<"$got") files: the service, both filter folders ($models models each), tools_x64, the scripts and the README"
else
    fail "the zip's files differ from the package's list: $(diff <(sort <<<"$expected") <(echo "$got") | grep '^[<>]' | head -5 | tr '\n' ' ')"
fi

readme="$folder/README-Windows.txt"
if [ "$(grep -c $'\r$' "$readme")" -eq "$(wc -l <"$readme")" ] && [ "$(grep -c $'\r$' "$folder/install.cmd")" -eq "$(wc -l <"$folder/install.cmd")" ]; then
    pass "README-Windows.txt and the scripts have Windows line ends"
else
    fail "a text file of the zip has Unix line ends"
fi
for topic in Requirements Install "What the service does" Uninstall "Settings and logs" "administrators" "CamSettings.ini" "event log"; do
    grep -q "$topic" "$readme" || fail "README-Windows.txt says nothing under \"$topic\""
done

# The unpacked 64-bit filter, registered by hand as a user would without the service.
stem=VYX_Kestrel1C
device="VYX Kestrel 1C Camera"
filter="$(winpath "$folder/DX_x64/$stem.dll")"
regsvr32='C:\windows\system32\regsvr32.exe'
cleanup() {
    win "$regsvr32" /s /u "$filter" || true
    win "$folder/tools_x64/vyxsim.exe" unplug --all >/dev/null 2>&1 || true
    [ -n "${VYX_KEEP_TEST_FILES:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
win "$folder/tools_x64/vyxsim.exe" unplug --all >/dev/null
win "$folder/tools_x64/vyxsim.exe" plug "Kestrel 1C" >/dev/null
if win "$regsvr32" /s "$filter"; then
    pass "regsvr32 registers DX_x64\\$stem.dll from the unpacked folder"
else
    fail "regsvr32 could not register DX_x64\\$stem.dll"
fi
# vyxcap writes Windows line ends.
listed=$(win "$folder/tools_x64/vyxcap.exe" list 2>&1 | tr -d '\r' || true)
grep -qx "$device" <<<"$listed" && pass "tools_x64\\vyxcap lists \"$device\"" || fail "vyxcap listed \"$listed\""
ser="$work/packaged.ser"
if win "$folder/tools_x64/vyxcap.exe" capture "$device" --format Y800 --size 320x240 --frames 3 \
        --ser "$(winpath "$ser")" >"$work/capture.out" 2>&1 &&
   [ "$(stat -c %s "$ser")" -eq $((178 + 3 * 320 * 240 + 3 * 8)) ]; then
    pass "tools_x64\\vyxcap records 3 frames of the camera to SER"
else
    fail "vyxcap from the zip could not record: $(tr -d '\r' <"$work/capture.out" | tail -3)"
fi
win "$regsvr32" /s /u "$filter" || fail "regsvr32 /u could not unregister DX_x64\\$stem.dll"
win "$folder/tools_x64/vyxcap.exe" list 2>&1 | tr -d '\r' | grep -qx "$device" && fail "\"$device\" is still listed after regsvr32 /u" ||
    pass "regsvr32 /u removes it again"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all package contents checks passed"
