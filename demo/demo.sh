#!/usr/bin/env bash
# The demo: what a user sees of the product, run under Wine from build/dist/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
win() { "$root/cmake/wine-run" "$@"; }
tools="$root/build/dist/tools_x64"

echo "== Supported camera models"
win "$tools/vyxcatalog.exe"
echo
echo "== Resolution list of one model, with frame sizes at each bin factor"
win "$tools/vyxcatalog.exe" "Osprey 7C"
