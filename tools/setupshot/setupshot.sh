#!/usr/bin/env bash
# Pictures of every page of the setup program and its uninstaller, in English and in Chinese,
# into OUTDIR, as docs/setup.md shows them:
#   tools/setupshot/setupshot.sh docs/setup
# Needs `./run package` (the setup program), xdotool and imagemagick. It really installs and
# uninstalls in the project's x64 Wine prefix, so run it while no test runs there.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
out=$(realpath -m "${1:?usage: setupshot.sh OUTDIR}")
for tool in xdotool import; do
    command -v "$tool" >/dev/null || { echo "setupshot: needs $tool (apt-get install xdotool imagemagick)" >&2; exit 1; }
done
setup=$(ls "$root"/build/VYXCameraDriver-*-setup.exe 2>/dev/null | tail -1)
[ -n "$setup" ] || { echo "setupshot: no build/VYXCameraDriver-<version>-setup.exe: run ./run package first" >&2; exit 1; }
mkdir -p "$out"
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
w() { timeout 120 "$root/cmake/wine-run" "$@" </dev/null; }
# Maps the Chinese interface fonts to WenQuanYi Micro Hei; also starts the shared Xvfb.
"$root/cmake/wine-cjk-fonts"
export DISPLAY=${DISPLAY:-$(cat "$root/build/xvfb.display")}

window() {  # window TITLE-REGEX: the id of the visible window, once it is there
    local id=""
    for _ in $(seq 1 120); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.5
    done
    echo "setupshot: no window \"$1\"" >&2
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
    local tag=$1 id
    shift
    env "$@" "$root/cmake/wine-run" "$setup" </dev/null >/dev/null 2>&1 &
    local setup_pid=$!
    id=$(window "^VYX Camera DirectShow driver")
    shoot "$id" "$tag-1-welcome"
    xdotool key --window "$id" Return
    shoot "$id" "$tag-2-folder"
    xdotool key --window "$id" Return
    shoot "$id" "$tag-3-installing"
    service_is RUNNING
    shoot "$id" "$tag-4-finish"
    xdotool key --window "$id" Return
    wait "$setup_pid" || true
    closed "^VYX Camera DirectShow driver"

    env "$@" "$root/cmake/wine-run" 'C:\Program Files\VYX Camera Driver\uninstall.exe' </dev/null >/dev/null 2>&1 || true
    id=$(window "(Uninstall|卸载)")
    shoot "$id" "$tag-5-uninstall-confirm"
    xdotool key --window "$id" Return
    service_is gone
    shoot "$id" "$tag-6-uninstall-done"
    xdotool key --window "$id" Return
    closed "^VYX Camera DirectShow driver"
}

# Wine takes the user language from the C library's locale: the build compiles zh_CN.
shoot_language en LANG=C.UTF-8
shoot_language zh LANG=zh_CN.UTF-8 LOCPATH="$root/build/x64/locales"
