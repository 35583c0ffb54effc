#!/usr/bin/env bash
# vyxcap demo: plug a simulated camera, register its x64 and x86 filter builds, show its
# capabilities and controls as any DirectShow application sees them, set exposure and
# gain, capture 1920 x 1080 RGB24 for a few seconds into a PNG and print the statistics,
# then show the camera's section of the settings file, which the filter wrote on release.
# Usage: demo/vyxcap.sh [OUTPUT.png]   (after a build; VYX_BUILD_ROOT picks the tree)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
dist="Z:${build//\//\\}\\dist"
out=${1:-$build/vyxcap-demo.png}
vyxsim="$build/dist/tools_x64/vyxsim.exe"
vyxcap="$build/dist/tools_x64/vyxcap.exe"
model="Osprey 7C"
device="VYX $model Camera"
win() { VYX_BUILD_ROOT="$build" "$root/cmake/wine-run" "$@"; }
# A 32-bit step: on a host that cannot run 32-bit programs wine-run says so and the demo goes on.
win32() { local status=0; win "$@" || status=$?; [ "$status" -eq 77 ] || return "$status"; }

mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

echo "== Plug a simulated $model and register its builds (x64 and x86)"
win "$vyxsim" unplug --all
win "$vyxsim" plug "$model"
win 'C:\windows\system32\regsvr32.exe' /s "$dist\\DX_x64\\VYX_Osprey7C.dll"
win32 'C:\windows\syswow64\regsvr32.exe' /s "$dist\\DX_x86\\VYX_Osprey7C.dll"
echo "== vyxcap list"
win "$vyxcap" list
echo "== vyxcap caps \"$device\" (first lines)"
win "$vyxcap" caps "$device" | head -n 12
echo "== vyxcap controls \"$device\""
win "$vyxcap" controls "$device"
echo "== Exposure 2^-2 s (250 ms) and gain 350, both manual"
win "$vyxcap" set "$device" Exposure -2 manual
win "$vyxcap" set "$device" Gain 350
echo "== Capture 1920x1080 RGB24, 12 frames (about three seconds at 250 ms each)"
win "$vyxcap" capture "$device" --format RGB24 --size 1920x1080 --frames 12 --out "Z:${out//\//\\}" --json
echo "wrote $out: the last frame, upright"
echo "== The same in the statistics' plain form, 32-bit tool, 640x480 YUY2"
win32 "$build/dist/tools_x86/vyxcap.exe" capture "$device" --format YUY2 --size 640x480 --frames 4
echo "== Settings file section of the model, written when the filter was released"
VYX_BUILD_ROOT="$build" bash "$root/demo/settings.sh" "$model" || true
echo "== A device that is not there"
win "$vyxcap" capture "No Such Camera" || echo "(exit code $?)"
win 'C:\windows\system32\regsvr32.exe' /s /u "$dist\\DX_x64\\VYX_Osprey7C.dll"
win32 'C:\windows\syswow64\regsvr32.exe' /s /u "$dist\\DX_x86\\VYX_Osprey7C.dll"
win "$vyxsim" unplug --all
