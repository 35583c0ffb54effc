#!/usr/bin/env bash
# Shows the user's camera settings file in the Wine prefix: one section per model, as the
# filter builds wrote it when streaming stopped or the filter was released.
#   demo/settings.sh [MODEL]     e.g. demo/settings.sh "Kestrel 1C"
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
prefix=${VYX_WINEPREFIX:-$build/wineprefix-x64}

# The shell's local application-data folder of the prefix's user.
file=$(ls "$prefix"/drive_c/users/*/AppData/Local/VYXDShowDriver/CamSettings.ini 2>/dev/null | head -n 1 || true)
if [ -z "$file" ]; then
    echo "no settings file yet: create and release a filter (or stop a capture) first" >&2
    exit 1
fi
echo "== $file"
if [ $# -eq 0 ]; then
    tr -d '\r' < "$file"
else
    # The section of one model: its header up to the next header.
    tr -d '\r' < "$file" | awk -v section="[$1]" '
        /^\[/ { show = (tolower($0) == tolower(section)) }
        show'
fi
