#!/usr/bin/env bash
# Camera simulator demo: plugs a simulated camera on the simulated USB bus, lists it as
# SetupDi reports it, opens it through VyxonCamera.dll and saves one frame as a PNG.
# Usage: demo/camera.sh [MODEL] [OUTPUT.png]   (after a build; VYX_BUILD_ROOT picks the tree)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
model=${1:-Osprey 7C}
out=${2:-$build/camera-demo.png}
vyxsim="$build/dist/tools_x64/vyxsim.exe"
win() { VYX_BUILD_ROOT="$build" "$root/cmake/wine-run" "$@"; }

mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

echo "== Plug a simulated $model"
win "$vyxsim" unplug --all
win "$vyxsim" plug "$model"
echo "== Present cameras (instance ID, model, serial)"
win "$vyxsim" list
echo "== One 2-second frame through the camera library"
win "$vyxsim" snapshot "$model" "Z:${out//\//\\}"
win "$vyxsim" unplug "$model"
echo "wrote $out: a night sky with stars of many brightnesses and a faint galaxy or two"
