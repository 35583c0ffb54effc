#!/usr/bin/env bash
# The demo: what a user sees of the product, run under Wine from build/dist/. Each part is
# its own script in this folder and can be run alone after a build.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
out="$build/demo"
mkdir -p "$out"
win() { VYX_BUILD_ROOT="$build" "$root/cmake/wine-run" "$@"; }
part() { printf '\n######## %s\n\n' "$*"; }

part "1. The supported camera models, and one model's resolution list"
win "$build/dist/tools_x64/vyxcatalog.exe"
echo
win "$build/dist/tools_x64/vyxcatalog.exe" "Osprey 7C"

part "2. A simulated camera on the simulated USB bus, read through the camera library"
bash "$root/demo/camera.sh" "Osprey 7C" "$out/sky.png"

part "3. The capture filter: registration, devices and media types as applications see them"
bash "$root/demo/filter.sh"

part "4. Controls and capture with vyxcap, and the settings the filter kept"
bash "$root/demo/vyxcap.sh" "$out/capture.png"

part "5. The hot-plug service registers a model exactly while its camera is plugged in"
if win --host-runs-32bit; then
    bash "$root/demo/service.sh"
else
    echo "Skipped: the service is a 32-bit program, and this host's kernel refuses 32-bit programs."
fi

part "6. The release package: install, plug, record to SER and AVI, unplug, uninstall"
bash "$root/demo/release.sh" "$out"

part "Done"
echo "What the demo showed: the models and their sizes, a simulated camera's sky through the camera"
echo "library, the filter registered and listed as applications see it, its controls and a capture"
echo "through DirectShow, the settings it kept, the service following the camera (where 32-bit"
echo "programs run), and the release zip installed, recording losslessly and removed again."
echo "Files: $out/sky.png (straight from the camera library), $out/capture.png (through DirectShow),"
echo "       $out/night.ser, $out/night16.ser and $out/night.avi (recordings), $out/night.png,"
echo "       and the release package $out/VYXCameraDriver-*.zip"
