#!/usr/bin/env bash
# The shipped virtual-camera helper, which the service runs as LocalSystem, asks Windows
# itself: it carries neither the test build's stand-in nor the stand-in's registry key.
# Usage: shipped_helper_test.sh VYXVirtualCamera.exe NM
set -euo pipefail
exe=$1
symbols=$("$2" -C "$exe")
if ! grep -q 'vyx::vcam::RunVirtualCameraCommand' <<<"$symbols"; then
    echo "FAIL: $exe has no symbol table to check"
    exit 1
fi
if grep -q 'StandIn' <<<"$symbols" || strings -e l "$exe" | grep -q 'TestVirtualCameras'; then
    echo "FAIL: $exe carries the test build's stand-in"
    exit 1
fi
strings -e l "$exe" | grep -qx 'mfsensorgroup.dll' || { echo "FAIL: $exe does not look up mfsensorgroup.dll"; exit 1; }
echo "no test seam in $exe"
