#!/usr/bin/env bash
# The setup program as an administrator meets it, under Wine, run silently (/S): an older
# build installs into Program Files with a complete uninstall entry, Start-menu folder and
# running service; a camera plugged then (and the service restarted, since Wine delivers no
# device events) is listed to a 64-bit application; a newer setup refuses while a capture
# holds the filter open and leaves the old version as it was; once the capture ends it
# upgrades in place (one service, new files, the user's settings kept); the uninstaller
# leaves nothing of ours but the settings, and a second run is harmless.
# The setups are built by package/package.sh from a layout of one model, so they build in
# seconds; the full package's contents are package_contents_test.sh's part.
# The service is a 32-bit program. Where the host cannot run those, the steps that need it
# are reported as skipped and the rest (files, entries, the refusal, the removal) still runs.
# Usage: setup_test.sh   (run by CTest in the x64 tree, after a build of both architectures)
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
dist=${VYX_DIST_DIR:-$build/dist}
prefix=${VYX_WINEPREFIX:-$build/wineprefix-x64}
# No Linux menu entries for the Start-menu shortcuts.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
# Every Wine program has a limit of its own (an install waits for the service's 15 s
# start), so a hang fails the run in minutes.
win() { timeout 90 "$root/cmake/wine-run" "$@" </dev/null; }
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
step() { echo "== $SECONDS s: $*"; }
check() { if eval "$2"; then pass "$1"; else fail "$1"; fi; }
skip() { echo "skipped: $* (this host cannot run 32-bit programs, so the 32-bit service cannot start)"; }
runs32=yes
"$root/cmake/wine-run" --host-runs-32bit || runs32=no

work=$(mktemp -d "$build/setup-test.XXXXXX")
installed="$prefix/drive_c/Program Files/VYX Camera Driver"
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/VYX Camera Driver"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VYXCameraDriver'
stem=VYX_Kestrel1C
device="VYX Kestrel 1C Camera"
clsid=$(grep '^Kestrel 1C,' "$root/catalogue/models.csv" | grep -o '{[0-9A-F-]*}' | head -1)
filter64="$installed/DX_x64/$stem.dll"

step "build the setups"
# A layout of one model, packed twice: as an older version and as this one.
mkdir -p "$work/dist/DX_x86" "$work/dist/DX_x64" "$work/dist/tools_x64" "$work/old" "$work/new"
ln -s "$dist/VYXCamService.exe" "$work/dist/"
for arch in x86 x64; do ln -s "$dist/DX_$arch/$stem.dll" "$dist/DX_$arch/VyxonCamera.dll" "$work/dist/DX_$arch/"; done
for tool in vyxcap.exe vyxsim.exe vyxcatalog.exe VyxonCamera.dll; do ln -s "$dist/tools_x64/$tool" "$work/dist/tools_x64/"; done
pack() { VYX_BUILD_ROOT="$build" VYX_DIST_DIR="$work/dist" VYX_PACKAGE_DIR="$1" bash "$root/package/package.sh" --setup 2>"$1/makensis.out" | head -1; }
# Packed side by side, one core each.
VYX_PACKAGE_VERSION=1.9.0 pack "$work/old" >"$work/old/setup.path" &
new_setup=$(pack "$work/new")
wait $!
old_setup=$(cat "$work/old/setup.path")
version=$(sed -n 's/^PRODUCTVERSION \([0-9]*\),\([0-9]*\),\([0-9]*\),.*/\1.\2.\3/p' "$root/service/VYXCamService.rc")
if [ "$(basename "$new_setup")" != "VYXCameraDriver-$version-setup.exe" ] || [ ! -s "$new_setup" ] || [ ! -s "$old_setup" ]; then
    echo "FAILED: package.sh made no setup program: $(cat "$work/new/makensis.out")"
    rm -rf "$work"
    exit 1
fi
# The version resource and the manifest's elevation request, as Windows reads them.
check "the setup program carries product, version and publisher and asks for administrator rights" \
    "strings -el '$new_setup' | grep -qx 'VYX Camera DirectShow driver' && strings -el '$new_setup' | grep -qx '$version.0' &&
     strings -el '$new_setup' | grep -qx Vyxon && grep -q 'requireAdministrator' '$new_setup'"

capture_pid=""
cleanup() {
    [ -n "$capture_pid" ] && kill -INT "$capture_pid" 2>/dev/null && wait "$capture_pid" 2>/dev/null
    [ -f "$work/uninstall.exe" ] && win cmd /c "$(winpath "$work/uninstall.exe") /S _?=C:\\Program Files\\VYX Camera Driver" >/dev/null 2>&1
    win "$dist/tools_x64/vyxsim.exe" unplug --all >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
win "$dist/tools_x64/vyxsim.exe" unplug --all >/dev/null

value() {  # value NAME: the uninstall entry's value NAME, empty when missing
    win reg query "$entry" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}
image_path() {
    win reg query 'HKLM\SYSTEM\CurrentControlSet\Services\VYXDshowService' /v ImagePath 2>/dev/null | tr -d '\r' |
        sed -n 's/^ *ImagePath *REG_[A-Z_]* *//p'
}
service_state() { win sc query VYXDshowService 2>/dev/null | tr -d '\r' | sed -n 's/.*STATE *: *[0-9]* *//p'; }
listed() {  # the camera is listed to a 64-bit application within the service's start-up wait and a pass
    local deadline=$((SECONDS + 60))
    while [ $SECONDS -lt $deadline ]; do
        win "$installed/tools_x64/vyxcap.exe" list 2>/dev/null | tr -d '\r' | grep -qx "$device" && return 0
        sleep 0.5
    done
    return 1
}
installed_files() { (cd "$installed" 2>/dev/null && find . -type f | sed 's|^\./||' | sort); }
expected_files=$( (cd "$work/dist" && find -L . -type f | sed 's|^\./||'; echo README-Windows.txt; echo uninstall.exe) | sort)

step "silent install of the older build"
# 1. A silent install of the older build into the default folder.
status=0; win "$old_setup" /S >"$work/install.out" 2>&1 || status=$?
if [ "$runs32" = yes ]; then
    check "the older setup installs silently with exit code 0" "[ $status -eq 0 ]"
    check "the service runs" "[ \"\$(service_state)\" = RUNNING ]"
    check "the service runs from Program Files" "[ \"\$(image_path)\" = '\"C:\\Program Files\\VYX Camera Driver\\VYXCamService.exe\"' ]"
else
    check "without the service the setup ends with exit code 6" "[ $status -eq 6 ]"
    skip "the service's installation and start"
fi
check "the layout, README and uninstaller are in C:\\Program Files\\VYX Camera Driver" "[ \"\$(installed_files)\" = \"\$expected_files\" ]"
check "the uninstall entry is complete" \
    "[ \"\$(value DisplayName)\" = 'VYX Camera DirectShow driver' ] && [ \"\$(value DisplayVersion)\" = 1.9.0 ] &&
     [ \"\$(value Publisher)\" = Vyxon ] && [ \"\$(value InstallLocation)\" = 'C:\\Program Files\\VYX Camera Driver' ] &&
     [ \$((\$(value EstimatedSize))) -gt 1000 ] &&
     [ \"\$(value UninstallString)\" = '\"C:\\Program Files\\VYX Camera Driver\\uninstall.exe\"' ] &&
     [ \"\$(value QuietUninstallString)\" = '\"C:\\Program Files\\VYX Camera Driver\\uninstall.exe\" /S' ]"
check "the Start-menu folder holds the README and the uninstaller" \
    "[ -f '$menu/Read me.lnk' ] && [ -f '$menu/Uninstall VYX Camera DirectShow driver.lnk' ]"
# The uninstaller removes itself; a copy of it runs the removal twice at the end.
cp "$installed/uninstall.exe" "$work/uninstall.exe"

step "plug"
# 2. A plug, seen by the service at its restart.
win "$installed/tools_x64/vyxsim.exe" plug "Kestrel 1C" >/dev/null
if [ "$runs32" = yes ]; then
    "$root/cmake/wine-restart-service" VYXDshowService || fail "the service did not restart"
    check "after a plug and a restart of the service \"$device\" is listed" listed
else
    skip "the service's registration of the plugged camera"
    win 'C:\windows\system32\regsvr32.exe' /s "$(winpath "$filter64")"
fi

# A file of the older install changed, so the upgrade shows it replaces it.
echo "an older build" > "$installed/tools_x64/vyxcatalog.exe"

step "capture holding the filter, newer setup"
# 3. A capture holds the filter open: the newer setup refuses and changes nothing.
# A script's background job would ignore SIGINT; with it restored, Ctrl+C ends the capture as
# at a console (Wine's SIGTERM would end only one of its threads).
env --default-signal=INT timeout 90 "$root/cmake/wine-run" "$installed/tools_x64/vyxcap.exe" capture "$device" \
    --frames 1000000 >"$work/capture.out" 2>&1 </dev/null &
capture_pid=$!
# Held while a write open of the filter fails inside Wine; appending nothing changes nothing.
# Wine's cmd leaves the error level at 0 then but prints why ("Sharing violation.").
printf '@type nul >> "C:\\Program Files\\VYX Camera Driver\\DX_x64\\%s.dll"\r\n' "$stem" >"$work/probe.cmd"
filter_held() {  # filter_held yes|no: waits until the filter is (or is no longer) held
    local deadline=$((SECONDS + 30)) said
    while [ $SECONDS -lt $deadline ]; do
        said=$(win cmd /c "$(winpath "$work/probe.cmd")" 2>&1 | tr -d '\r\n')
        if [ -n "$said" ]; then [ "$1" = yes ] && return 0; else [ "$1" = no ] && return 0; fi
        sleep 0.5
    done
    return 1
}
check "the capture holds the filter" "filter_held yes"
before=$(cd "$installed" && find . -type f -exec md5sum {} + | sort)
rm -f "$work/new/VYXCameraDriver-setup.log"
status=0; win "$new_setup" /S >/dev/null 2>&1 || status=$?
check "the newer setup refuses with exit code 4 while a filter is in use" "[ $status -eq 4 ]"
check "the log beside the setup names the held file" \
    "iconv -f UTF-16 -t UTF-8 '$work/new/VYXCameraDriver-setup.log' | grep -q 'exit code 4: C:\\\\Program Files\\\\VYX Camera Driver\\\\DX_x64\\\\.*is in use'"
check "the older version is intact: files, entry" \
    "[ \"\$(cd '$installed' && find . -type f -exec md5sum {} + | sort)\" = \"\$before\" ] && [ \"\$(value DisplayVersion)\" = 1.9.0 ]"
[ "$runs32" = yes ] && check "the older service still runs" "[ \"\$(service_state)\" = RUNNING ]"
kill -INT "$capture_pid" 2>/dev/null; wait "$capture_pid" 2>/dev/null; capture_pid=""
# Wine frees the process's files a moment after it has gone.
check "the ended capture no longer holds the filter" "filter_held no"
# The user's settings as the capture saved them at its end (or a file of the test's own).
local_appdata=$(win cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')
settings="$prefix/drive_c/${local_appdata#C:\\}"
settings="${settings//\\//}/VYXDShowDriver/CamSettings.ini"
mkdir -p "$(dirname "$settings")"
[ -s "$settings" ] || echo "; the setup test's settings" > "$settings"
cp "$settings" "$work/settings.before"

step "upgrade"
# 4. The capture has ended: the upgrade replaces the files and restarts the one service.
if [ "$runs32" = yes ]; then
    status=0; win "$new_setup" /S >/dev/null 2>&1 || status=$?
    check "the newer setup upgrades silently with exit code 0" "[ $status -eq 0 ]"
    check "the files are the newer build's" \
        "cmp -s '$installed/tools_x64/vyxcatalog.exe' '$dist/tools_x64/vyxcatalog.exe' && [ \"\$(installed_files)\" = \"\$expected_files\" ]"
    check "the entry names the newer version" "[ \"\$(value DisplayVersion)\" = '$version' ]"
    check "one service, from Program Files, running" \
        "[ \$(win reg query 'HKLM\\SYSTEM\\CurrentControlSet\\Services' | grep -ci vyx) -eq 1 ] &&
         [ \"\$(image_path)\" = '\"C:\\Program Files\\VYX Camera Driver\\VYXCamService.exe\"' ] && [ \"\$(service_state)\" = RUNNING ]"
    check "the camera is listed again after the upgrade" listed
    check "the user's settings are kept" "cmp -s '$settings' '$work/settings.before'"
else
    skip "the upgrade, which stops and reinstalls the service"
    win 'C:\windows\system32\regsvr32.exe' /s /u "$(winpath "$filter64")"
fi

step "uninstall"
# 5. The silent uninstall, twice.
uninstall() { win cmd /c "$(winpath "$work/uninstall.exe") /S _?=C:\\Program Files\\VYX Camera Driver"; }
status=0; uninstall >/dev/null 2>&1 || status=$?
if [ "$runs32" = yes ]; then
    check "the uninstaller ends with exit code 0" "[ $status -eq 0 ]"
else
    check "without the service the uninstaller ends with exit code 6" "[ $status -eq 6 ]"
fi
check "no file, folder, Start-menu folder or uninstall entry is left" \
    "[ ! -e '$installed' ] && [ ! -e '$menu' ] && ! win reg query '$entry' >/dev/null 2>&1"
leftover=""
for key in 'HKLM\SYSTEM\CurrentControlSet\Services\VYXDshowService' \
           'HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\VYXDshowService' \
           "HKLM\\Software\\Classes\\CLSID\\$clsid"; do
    for view in /reg:64 /reg:32; do
        win reg query "$key" $view >/dev/null 2>&1 && leftover="$leftover $key($view)"
    done
done
check "no service, event-log source or filter class is left in either registry view" "[ -z '$leftover' ]"
check "the user's settings file is kept" "cmp -s '$settings' '$work/settings.before'"
status=0; uninstall >/dev/null 2>&1 || status=$?
check "a second uninstall is harmless (exit code 0)" "[ $status -eq 0 ] && [ ! -e '$installed' ]"
rm -f "$work/uninstall.exe"

step "end"
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all setup checks passed"
