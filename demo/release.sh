#!/usr/bin/env bash
# The whole story from the release zip: unpack it, install the service with install.cmd, plug
# a camera, let the service register its model (under Wine after a restart of the service,
# since Wine delivers it no device events), list it with vyxcap, record 50 frames to SER and
# to AVI and save a PNG, unplug the camera, let the service unregister the model, and
# uninstall with uninstall.cmd. On a host that cannot run 32-bit programs (the service is
# one) the service steps are skipped and the model is registered by hand instead, so the
# recording still runs. The recordings are read back with ffprobe. The zip is packed into
# OUTPUT_DIR, never beside the one and the setup program that `./run package` leaves in the
# build folder.
# Usage: demo/release.sh [OUTPUT_DIR]   (after ./run build)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
out=${1:-$build/demo}
mkdir -p "$out"
out=$(cd "$out" && pwd)
win() { VYX_BUILD_ROOT="$build" "$root/cmake/wine-run" "$@" </dev/null; }
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
model="Osprey 7C"
device="VYX $model Camera"
service=no
win --host-runs-32bit && service=yes

echo "== Build the release package and unpack it"
zip=$(VYX_BUILD_ROOT="$build" VYX_PACKAGE_DIR="$out" bash "$root/package/package.sh" | tail -1)
rm -rf "$out/installed"
mkdir -p "$out/installed"
unzip -q "$zip" -d "$out/installed"
folder=$(find "$out/installed" -mindepth 1 -maxdepth 1 -type d | head -1)
echo "$zip ($(du -h "$zip" | cut -f1)) unpacked into $folder:"
(cd "$folder" && ls -d ./* | sed 's|^\./|   |')
vyxcap="$folder/tools_x64/vyxcap.exe"
vyxsim="$folder/tools_x64/vyxsim.exe"
build64="$(winpath "$folder/DX_x64/VYX_Osprey7C.dll")"
win "$vyxsim" unplug --all >/dev/null

echo
if [ $service = yes ]; then
    echo "== install.cmd (as an administrator)"
    win cmd /c "$(winpath "$folder/install.cmd")" | tr -d '\r'
    win sc query VYXDshowService | grep -E 'SERVICE_NAME|STATE'
else
    echo "== install.cmd: skipped, the service is a 32-bit program and this host's kernel refuses those"
fi

echo
echo "== Plug a simulated $model"
win "$vyxsim" plug "$model"
if [ $service = yes ]; then
    # Wine delivers no device events to services, so the service sees the camera at its
    # next start; on Windows the plug alone is enough.
    echo "-- restarting the service, which sees the camera in its first pass (it settles 15 s after starting)"
    VYX_BUILD_ROOT="$build" "$root/cmake/wine-restart-service" VYXDshowService
    for _ in $(seq 1 40); do win "$vyxcap" list | tr -d '\r' | grep -qx "$device" && break; sleep 1; done
else
    echo "-- registering the model's 64-bit build by hand, as the service would"
    win 'C:\windows\system32\regsvr32.exe' /s "$build64"
fi
echo "== vyxcap list"
win "$vyxcap" list

echo
echo "== Exposure 2^-7 s (8 ms), so 50 frames take a few seconds"
win "$vyxcap" set "$device" Exposure -7 manual
echo "== Record 50 frames of 1920 x 1080 RGB24 to SER, and save the last one as a PNG"
win "$vyxcap" capture "$device" --format RGB24 --size 1920x1080 --frames 50 \
    --ser "$(winpath "$out/night.ser")" --out "$(winpath "$out/night.png")"
echo "== Record 50 frames of 1280 x 720 8-bit grey (Y800) to AVI"
win "$vyxcap" capture "$device" --format Y800 --size 1280x720 --frames 50 --avi "$(winpath "$out/night.avi")" --json
echo "== Record 50 frames of 16-bit grey (Y16) to SER; AVI refuses 16-bit frames"
win "$vyxcap" capture "$device" --format Y16 --size 1280x720 --frames 50 --ser "$(winpath "$out/night16.ser")" --json
win "$vyxcap" capture "$device" --format Y16 --size 1280x720 --frames 50 --avi "$(winpath "$out/refused.avi")" ||
    echo "(exit code $?)"
echo "== The recordings as FFmpeg reads them"
for file in night.ser night.avi night16.ser; do
    printf '   %-12s %s\n' "$file" "$(ffprobe -v error -count_frames -select_streams v:0 \
        -show_entries stream=width,height,pix_fmt,nb_read_frames -of csv=p=0 "$out/$file" |
        awk -F, '{print $1 " x " $2 ", " $3 ", " $4 " frames"}')"
done
echo "   (FFmpeg calls night16.ser big-endian: it reads the SER LittleEndian field the other way"
echo "    round from Siril and the capture programs, which read these samples as little-endian.)"

echo
echo "== Unplug the camera"
win "$vyxsim" unplug "$model"
if [ $service = yes ]; then
    echo "-- restarting the service, which unregisters the model in its first pass"
    VYX_BUILD_ROOT="$build" "$root/cmake/wine-restart-service" VYXDshowService
    for _ in $(seq 1 40); do win "$vyxcap" list | tr -d '\r' | grep -qx "$device" || break; sleep 1; done
    echo "== uninstall.cmd"
    win cmd /c "$(winpath "$folder/uninstall.cmd")" | tr -d '\r'
    win sc query VYXDshowService >/dev/null 2>&1 && echo "service still present" || echo "service VYXDshowService removed"
else
    win 'C:\windows\system32\regsvr32.exe' /s /u "$build64"
    echo "== uninstall.cmd: skipped with the service"
fi
echo "== vyxcap list (nothing of ours)"
win "$vyxcap" list | grep "^VYX " || echo "   no VYX camera listed"

echo
echo "== What was seen"
echo "   release package:     $zip"
echo "   service:             $([ $service = yes ] && echo "installed from the zip, registered the model once it saw the camera, unregistered it once it was gone, uninstalled" || echo "skipped on this host (32-bit); the model was registered by hand")"
echo "   SER, 50 RGB24 frames: $out/night.ser ($(stat -c %s "$out/night.ser") bytes)"
echo "   AVI, 50 Y800 frames:  $out/night.avi ($(stat -c %s "$out/night.avi") bytes)"
echo "   SER, 50 Y16 frames:   $out/night16.ser ($(stat -c %s "$out/night16.ser") bytes)"
echo "   PNG of the last frame: $out/night.png"
