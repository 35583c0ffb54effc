#!/usr/bin/env bash
# The hot-plug service: a model is listed to applications exactly while its camera is
# plugged in. Runs under Wine from the installed layout (build/dist/, or
# $VYX_BUILD_ROOT/dist), with the service's own pass doing the registrations.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
dist="$build/dist"
export VYX_BUILD_ROOT=$build
win() { "$root/cmake/wine-run" "$@"; }
model="Osprey 7C"

# The service runs as soon as /RegServer returns and makes its first pass after its
# start-up wait (15 s): wait until a 64-bit application sees the model come or go.
wait_for_pass() {  # wait_for_pass listed|gone
  local device="VYX $model Camera" _
  for _ in $(seq 1 40); do
    if win "$dist/tools_x64/vyxcap.exe" list | tr -d '\r' | grep -qx "$device"; then
      [ "$1" = listed ] && return 0
    else
      [ "$1" = gone ] && return 0
    fi
    sleep 1
  done
  echo "-- (the model was not $1 within 40 s)"
}

list_devices() {
  echo "-- video input devices seen by a 32-bit application:"
  win "$dist/tools_x86/vyxcap.exe" list | sed 's/^/   /'
  echo "-- video input devices seen by a 64-bit application:"
  win "$dist/tools_x64/vyxcap.exe" list | sed 's/^/   /'
}

echo "== Plug a simulated $model camera"
win "$dist/tools_x64/vyxsim.exe" unplug --all >/dev/null || true
win "$dist/tools_x64/vyxsim.exe" plug "$model"
echo
echo "== Install the service (it runs at once, waits 15 s for devices to settle, then makes its first pass)"
win "$dist/VYXCamService.exe" /RegServer
echo "VYXCamService.exe /RegServer exit code: $?"
win sc query VYXDshowService | grep -E 'SERVICE_NAME|STATE'
wait_for_pass listed
list_devices
echo
echo "== Unplug the camera and install again (which restarts the service)"
win "$dist/tools_x64/vyxsim.exe" unplug "$model"
win "$dist/VYXCamService.exe" /RegServer
echo "VYXCamService.exe /RegServer exit code: $?"
wait_for_pass gone
list_devices
echo
echo "== Uninstall the service"
win "$dist/VYXCamService.exe" /UnregServer
echo "VYXCamService.exe /UnregServer exit code: $?"
win sc query VYXDshowService >/dev/null 2>&1 && echo "service still present" || echo "service VYXDshowService removed"
