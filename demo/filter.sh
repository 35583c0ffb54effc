#!/usr/bin/env bash
# Capture filter demo: plug a simulated colour and a monochrome camera, register their
# x64 builds with the platform's regsvr32, show the registry layout, list the video input
# devices and the media types as an application sees them (each listing creates the
# filter from its moniker, which opens the camera), and show that an unplugged model's
# filter cannot be created.
# Usage: demo/filter.sh   (after a build; VYX_BUILD_ROOT picks the tree)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
dist="Z:${build//\//\\}\\dist"
vyxsim="$build/dist/tools_x64/vyxsim.exe"
vyxcap="$build/dist/tools_x64/vyxcap.exe"
regsvr32='C:\windows\system32\regsvr32.exe'
video_input='HKLM\Software\Classes\CLSID\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\Instance'
win() { VYX_BUILD_ROOT="$build" "$root/cmake/wine-run" "$@"; }

# model display name, file name, filter class identifier
models=("Osprey 7C|VYX_Osprey7C.dll" "Osprey 7M|VYX_Osprey7M.dll")
clsid_of() { grep "^$1," "$root/catalogue/models.csv" | cut -d, -f14; }

win "$vyxsim" unplug --all
for entry in "${models[@]}"; do
    model=${entry%%|*}
    dll=${entry##*|}
    echo "== Plug a simulated $model and register $dll (x64)"
    win "$vyxsim" plug "$model"
    win "$regsvr32" /s "$dist\\DX_x64\\$dll"
    clsid=$(clsid_of "$model")
    echo "== Registry layout of $model"
    win reg query "HKLM\\Software\\Classes\\CLSID\\$clsid" /s /reg:64
    win reg query "$video_input\\$clsid" /reg:64
done

echo "== Video input devices, as an application lists them"
win "$vyxcap" list
for entry in "${models[@]}"; do
    model=${entry%%|*}
    echo "== Media types of VYX $model Camera, as an application sees them"
    win "$vyxcap" caps "VYX $model Camera"
done

echo "== Unplugged: creating the Osprey 7C filter fails (E_HANDLE)"
win "$vyxsim" unplug "Osprey 7C"
win "$vyxcap" caps "VYX Osprey 7C Camera" || echo "vyxcap exit code: $?"

for entry in "${models[@]}"; do
    win "$regsvr32" /s /u "$dist\\DX_x64\\${entry##*|}"
done
win "$vyxsim" unplug --all
