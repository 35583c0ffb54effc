#!/usr/bin/env bash
# Pictures of every page of the setup program and its uninstaller, in English and in Chinese,
# into OUTDIR, as docs/setup.md shows them:
#   tools/setupshot/setupshot.sh docs/setup [SETUP.exe]
# Needs `./run package` (the setup program; or the one given), xdotool and imagemagick. It
# really installs and uninstalls in the project's x64 Wine prefix, so run it while no test
# runs there. The folder page's refusal is shot on a folder of its own that holds a file.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
out=$(realpath -m "${1:?usage: setupshot.sh OUTDIR [SETUP.exe]}")
for tool in xdotool import; do
    command -v "$tool" >/dev/null || { echo "setupshot: needs $tool (apt-get install xdotool imagemagick)" >&2; exit 1; }
done
setup=${2:-$(ls "$root"/build/VYXCameraDriver-*-setup.exe 2>/dev/null | tail -1)}
[ -f "$setup" ] || { echo "setupshot: no build/VYXCameraDriver-<version>-setup.exe: run ./run package first" >&2; exit 1; }
mkdir -p "$out"
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
w() { timeout 120 "$root/cmake/wine-run" "$@" </dev/null; }
# Maps the Chinese interface fonts to WenQuanYi Micro Hei; also starts the shared Xvfb.
"$root/cmake/wine-cjk-fonts"
export DISPLAY=${DISPLAY:-$(cat "$root/build/xvfb.display")}
title="^VYX Camera DirectShow driver"
prefix=${VYX_WINEPREFIX:-$root/build/wineprefix-x64}
full="$prefix/drive_c/VYXsetupshot/full"
mkdir -p "$full"
echo "a file of the user's" >"$full/notes.txt"

window() {  # window TITLE-REGEX: the id of the newest visible window, once it is there
    local id=""
    for _ in $(seq 1 120); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1) && [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.5
    done
    echo "setupshot: no window \"$1\"" >&2
    return 1
}
another_window() {  # another_window TITLE-REGEX ID: a visible window of that title other than ID
    local id=""
    for _ in $(seq 1 60); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | grep -vx "$2" | tail -1) && [ -n "$id" ] &&
            { echo "$id"; return 0; }
        sleep 0.5
    done
    echo "setupshot: no second window \"$1\"" >&2
    return 1
}
closed() {  # closed TITLE-REGEX: waits until no such window is left (Wine reuses window ids)
    for _ in $(seq 1 60); do
        [ -z "$(xdotool search --onlyvisible --name "$1" 2>/dev/null)" ] && return 0
        sleep 0.5
    done
    return 1
}
shoot() {  # shoot WINDOW NAME: the window as OUTDIR/NAME.png, once it has painted
    sleep 2
    import -window "$1" "$out/$2.png"
    echo "$out/$2.png"
}
service_is() {  # service_is RUNNING|gone: waits for the service's state
    for _ in $(seq 1 120); do
        local state
        state=$(w sc query VYXDshowService 2>/dev/null | tr -d '\r' | sed -n 's/.*STATE *: *[0-9]* *//p') || true
        [ "${state:-gone}" = "$1" ] && return 0
        sleep 0.5
    done
    return 1
}

shoot_language() {  # shoot_language TAG ENV...: both programs' pages with that environment
    local tag=$1 id box
    shift
    # The refusal, on a folder that holds a file; then the setup is left without installing.
    env "$@" "$root/cmake/wine-run" "$setup" '/D=C:\VYXsetupshot\full' </dev/null >/dev/null 2>&1 &
    local setup_pid=$!
    id=$(window "$title")
    for _ in welcome components folder; do
        sleep 1
        xdotool key --window "$id" Return
    done
    box=$(another_window "$title" "$id")
    shoot "$box" "$tag-4-folder-refused"
    xdotool key --window "$box" Return
    sleep 1
    xdotool key --window "$id" Escape
    box=$(another_window "$title" "$id")
    xdotool key --window "$box" Return
    wait "$setup_pid" || true
    closed "$title"

    env "$@" "$root/cmake/wine-run" "$setup" </dev/null >/dev/null 2>&1 &
    setup_pid=$!
    id=$(window "$title")
    shoot "$id" "$tag-1-welcome"
    xdotool key --window "$id" Return
    shoot "$id" "$tag-2-components"
    xdotool key --window "$id" Return
    shoot "$id" "$tag-3-folder"
    xdotool key --window "$id" Return
    shoot "$id" "$tag-5-installing"
    service_is RUNNING
    shoot "$id" "$tag-6-finish"
    xdotool key --window "$id" Return
    wait "$setup_pid" || true
    closed "$title"

    env "$@" "$root/cmake/wine-run" 'C:\Program Files\VYX Camera Driver\uninstall.exe' </dev/null >/dev/null 2>&1 || true
    id=$(window "(Uninstall|卸载)")
    shoot "$id" "$tag-7-uninstall-confirm"
    xdotool key --window "$id" Return
    # The last page, once the uninstaller has removed the folder.
    service_is gone
    for _ in $(seq 1 60); do [ -e "$prefix/drive_c/Program Files/VYX Camera Driver" ] || break; sleep 0.5; done
    shoot "$id" "$tag-8-uninstall-done"
    xdotool key --window "$id" Return
    closed "$title"
}

# Wine takes the user language from the C library's locale: the build compiles zh_CN.
shoot_language en LANG=C.UTF-8
shoot_language zh LANG=zh_CN.UTF-8 LOCPATH="$root/build/x64/locales"
rm -rf "$prefix/drive_c/VYXsetupshot"
