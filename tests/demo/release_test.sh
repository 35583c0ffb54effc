#!/usr/bin/env bash
# The demo's release part packs its zip into its own output folder: the zip and the setup
# program that `./run package` left in the build folder are still there, unchanged,
# afterwards. Runs demo/release.sh itself on a layout of placeholder files, with a Wine
# runner that starts nothing (and answers that 32-bit programs cannot run, so the demo
# takes its path without the service).
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# A tree whose scripts are the real ones, beside a Wine runner of the test's own.
tree=$work/tree
mkdir -p "$tree/cmake" "$tree/service/host"
for part in demo package catalogue; do ln -s "$root/$part" "$tree/$part"; done
ln -s "$root/service/host/VYXCamService.rc" "$tree/service/host/VYXCamService.rc"
printf '#!/bin/sh\n[ "${1:-}" = --host-runs-32bit ] && exit 1\nexit 0\n' > "$tree/cmake/wine-run"
cp "$tree/cmake/wine-run" "$tree/cmake/wine-restart-service"
# No recordings to read back: FFmpeg's probe would take seconds to say so.
mkdir -p "$work/bin"
printf '#!/bin/sh\nexit 1\n' > "$work/bin/ffprobe"
chmod +x "$tree/cmake/"* "$work/bin/ffprobe"

build=$work/build
dist=$build/dist
mkdir -p "$dist/DX_x86" "$dist/DX_x64" "$dist/tools_x64"
for file in VYXCamService.exe DX_x86/VyxonCamera.dll DX_x64/VyxonCamera.dll DX_x64/VYX_Osprey7C.dll DX_x86/VYX_Osprey7C.dll \
            DX_x64/VYXVirtualCamera.exe \
            tools_x64/vyxcap.exe tools_x64/vyxsim.exe tools_x64/vyxcatalog.exe tools_x64/VyxonCamera.dll; do
    echo "placeholder $file" > "$dist/$file"
done

version=$(sed -n 's/^PRODUCTVERSION \([0-9]*\),\([0-9]*\),\([0-9]*\),.*/\1.\2.\3/p' "$root/service/host/VYXCamService.rc")
name="VYXCameraDriver-$version"
# What `./run package` leaves in the build folder.
echo "setup program of ./run package" > "$build/$name-setup.exe"
echo "zip of ./run package" > "$build/$name.zip"

out=$build/demo
if ! PATH="$work/bin:$PATH" VYX_BUILD_ROOT="$build" bash "$tree/demo/release.sh" "$out" >"$work/demo.log" 2>&1; then
    fail "demo/release.sh failed: $(tail -n 5 "$work/demo.log" | tr '\n' ' ')"
fi

if [ "$(cat "$build/$name-setup.exe" 2>/dev/null)" = "setup program of ./run package" ] &&
   [ "$(cat "$build/$name.zip" 2>/dev/null)" = "zip of ./run package" ]; then
    pass "the setup program and the zip of ./run package are still in the build folder, unchanged"
else
    fail "the demo removed or replaced what ./run package made: $(ls "$build" | tr '\n' ' ')"
fi
if unzip -p "$out/$name.zip" "$name/VYXCamService.exe" 2>/dev/null | grep -qx "placeholder VYXCamService.exe"; then
    pass "the demo packed its own zip into its output folder"
else
    fail "no zip of the layout in the demo's output folder $out"
fi
[ ! -e "$build/package" ] && [ ! -e "$out/package" ] || fail "a packing stage was left behind"

[ "$failures" -eq 0 ] || { echo "demo output:"; cat "$work/demo.log"; exit 1; }
echo "all checks passed"
