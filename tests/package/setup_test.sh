#!/usr/bin/env bash
# The setup program's life on a machine, under Wine, run silently (/S) as administrators and
# deployment tools run it, with the setups of setup_builds.sh:
#  - the older simulated-camera build installs into Program Files: complete uninstall entry
#    (icon, links, a quiet-uninstall command that waits), Start-menu folder, running service;
#  - an upgrade is refused while a capture holds a filter, and one whose service cannot be
#    installed puts the old files back and restarts the old service; the signed
#    camera-maker build then upgrades in place, keeping the service's registry key, the
#    user's settings and a camera library an administrator put there, and leaving vyxsim out;
#  - a downgrade (1638) and a second folder are refused;
#  - the uninstaller keeps everything when the service cannot be removed, and schedules a
#    file held open for the next restart (3010);
#  - every step is in %ProgramData%\VYXDShowDriver\setup.log.
# The refusals before anything is installed are setup_refusals_test.sh's part.
source "$(dirname "${BASH_SOURCE[0]}")/setup_common.sh"
capture_pid=""
cleanup() {
    [ -n "$capture_pid" ] && kill -INT "$capture_pid" 2>/dev/null && wait "$capture_pid" 2>/dev/null
    leave_clean
    win "$dist/tools_x64/vyxsim.exe" unplug --all >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT
[ -e "$installed" ] && leave_clean
rm -f "$log"
# The Wine user's local application data, where the filter keeps the user's settings.
settings="$drive_c/users/$(id -un)/AppData/Local/VYXDShowDriver/CamSettings.ini"
listed() {  # the camera is listed to a 64-bit application within the service's start and a pass
    local deadline=$((SECONDS + 30))
    while [ $SECONDS -lt $deadline ]; do
        win "$installed/tools_x64/vyxcap.exe" list 2>/dev/null | tr -d '\r' | grep -x "$device" >/dev/null && return 0
        sleep 0.5
    done
    return 1
}

step "install the older build"
# Plugged first: the service's first pass registers it. Short waits for the test build of the service.
mkdir -p "$installed"
echo "300 30000 200 100 2000" >"$installed/VYXCamService.timings"
vyxsim=$(winpath "$dist/tools_x64/vyxsim.exe")
run_lines "$vyxsim unplug --all" "$vyxsim plug \"Kestrel 1C\"" "$(winpath "$old_setup") /S"
expected_old=$( (cd "$builds/layout" && find -L . -type f | sed 's|^\./||'; echo README-Windows.txt; echo uninstall.exe) | sort)
check "the older setup installs silently with exit code 0; the service runs from Program Files" \
    "[ $status -eq 0 ] && [ \"\$(service_state)\" = RUNNING ] &&
     [ \"\$(service ImagePath)\" = '\"$installed_win\\VYXCamService.exe\"' ]"
check "the layout, README and uninstaller are in Program Files" "[ \"\$(files_of '$installed')\" = \"\$expected_old\" ]"
check "the uninstall entry names the simulated-camera edition and is complete" \
    "[ \"\$(entry DisplayName)\" = 'VYX Camera DirectShow driver (simulated camera)' ] &&
     [ \"\$(entry DisplayVersion)\" = 1.9.0 ] && [ \"\$(entry Publisher)\" = Vyxon ] &&
     [ \"\$(entry InstallLocation)\" = '$installed_win' ] && [ \$((\$(entry EstimatedSize))) -gt 1000 ] &&
     [ \"\$(entry UninstallString)\" = '\"$installed_win\\uninstall.exe\"' ]"
check "the entry's icon is the uninstaller's, which carries the product icon, and it links the maker's site and support" \
    "[ \"\$(entry DisplayIcon)\" = '$installed_win\\uninstall.exe,0' ] &&
     [ \"\$(entry URLInfoAbout)\" = 'https://www.vyx-astro.example/' ] &&
     [ \"\$(entry HelpLink)\" = 'mailto:support@vyx-astro.example' ] &&
     hex '$installed/uninstall.exe' | grep -F \"\$(tail -c 256 '$root/package/setup/VYXCameraDriver.ico' | hex)\" >/dev/null"
check "the quiet-uninstall command runs the uninstaller in place, so that it waits" \
    "[ \"\$(entry QuietUninstallString)\" = '\"$installed_win\\uninstall.exe\" /S _?=$installed_win' ]"
check "the Start-menu folder holds the README and the uninstaller" \
    "[ -f '$menu/Read me.lnk' ] && [ -f '$menu/Uninstall VYX Camera DirectShow driver.lnk' ]"
check "the camera plugged before the install is listed to a 64-bit application" listed

step "capture holding the filter, newer setup"
# The service's own registry key, and a camera library an administrator put in place.
win reg add "$service_key" /v VyxSetupTest /d "kept across upgrades" /f >/dev/null
cp "$builds/admins-library.dll" "$installed/DX_x86/VyxonCamera.dll"
echo "an older build" >"$installed/tools_x64/vyxcatalog.exe"
# A script's background job would ignore SIGINT; with it restored, Ctrl+C ends the capture as
# at a console (Wine's SIGTERM would end only one of its threads).
env --default-signal=INT timeout 90 "$root/cmake/wine-run" "$installed/tools_x64/vyxcap.exe" capture "$device" \
    --frames 1000000 >"$work/capture.out" 2>&1 </dev/null &
capture_pid=$!
# Held while a write open of the filter fails inside Wine; appending nothing changes nothing.
# Wine's cmd leaves the error level at 0 then but prints why ("Sharing violation.").
printf '@type nul >> "%s\\DX_x64\\%s.dll"\r\n' "$installed_win" "$stem" >"$work/probe.cmd"
filter_held() {  # filter_held yes|no: waits until the filter is (or is no longer) held
    local deadline=$((SECONDS + 60)) said
    while [ $SECONDS -lt $deadline ]; do
        said=$(win cmd /c "$(winpath "$work/probe.cmd")" 2>&1 | tr -d '\r\n')
        if [ -n "$said" ]; then [ "$1" = yes ] && return 0; else [ "$1" = no ] && return 0; fi
        sleep 0.5
    done
    return 1
}
check "the capture holds the filter" "filter_held yes"
before=$(sums_of "$installed")
run_setup "$new_setup" /S
check "the newer setup refuses with 1603 while a filter is in use, naming the file in the log" \
    "[ $status -eq 1603 ] && logged 'exit code 1603: C:.Program Files.VYX Camera Driver.DX_x64.[A-Za-z_0-9]*.dll is in use'"
check "the older version is intact: files, entry, service" \
    "[ \"\$(sums_of '$installed')\" = \"\$before\" ] && [ \"\$(entry DisplayVersion)\" = 1.9.0 ] &&
     [ \"\$(service_state)\" = RUNNING ]"
kill -INT "$capture_pid" 2>/dev/null; wait "$capture_pid" 2>/dev/null; capture_pid=""
# Wine frees the process's files a moment after it has gone.
check "the ended capture no longer holds the filter" "filter_held no"
# The user's settings as the capture saved them at its end (or a file of the test's own).
mkdir -p "$(dirname "$settings")"
[ -s "$settings" ] || echo "; the setup test's settings" >"$settings"
cp "$settings" "$work/settings.before"

step "an upgrade that fails"
run_setup "$faulty_setup" /S
check "an upgrade whose service cannot be installed ends with 1603 and puts the older version back, running" \
    "[ $status -eq 1603 ] && [ \"\$(sums_of '$installed')\" = \"\$before\" ] && [ \"\$(entry DisplayVersion)\" = 1.9.0 ] &&
     [ \"\$(service_state)\" = RUNNING ] && logged 'version 1.9.0 is back and its service runs'"

step "upgrade to the signed camera-maker build"
run_setup "$new_setup" /S
expected_new=$( (printf '%s\n' VYXCamService.exe README-Windows.txt uninstall.exe DX_x86/VyxonCamera.dll \
    DX_x64/VyxonCamera.dll DX_x64/VYXVirtualCamera.exe tools_x64/vyxcap.exe tools_x64/vyxcatalog.exe; echo "DX_x86/$stem.dll"
    echo "DX_x64/$stem.dll") | sort)
check "the newer setup upgrades silently with exit code 0: its files, without vyxsim or the simulator" \
    "[ $status -eq 0 ] && [ \"\$(files_of '$installed')\" = \"\$expected_new\" ] &&
     ! grep -q 'an older build' '$installed/tools_x64/vyxcatalog.exe'"
check "--camera-library: the maker's library is installed; the administrator's own is kept" \
    "cmp -s '$installed/DX_x64/VyxonCamera.dll' '$builds/maker/x64/VyxonCamera.dll' &&
     cmp -s '$installed/DX_x86/VyxonCamera.dll' '$builds/admins-library.dll' &&
     logged 'kept C:.Program Files.VYX Camera Driver.DX_x86.VyxonCamera.dll: not installed by this setup'"
check "the entry names the newer version and no longer the simulated camera" \
    "[ \"\$(entry DisplayVersion)\" = '$version' ] && [ \"\$(entry DisplayName)\" = 'VYX Camera DirectShow driver' ]"
check "the service keeps its registry key, and runs from Program Files" \
    "[ \"\$(service VyxSetupTest)\" = 'kept across upgrades' ] && [ \"\$(service_state)\" = RUNNING ] &&
     [ \"\$(service ImagePath)\" = '\"$installed_win\\VYXCamService.exe\"' ]"
check "the camera is listed again after the upgrade, through the maker's library" listed
check "the user's settings are kept" "cmp -s '$settings' '$work/settings.before'"
unsigned=""
for file in VYXCamService.exe "DX_x64/$stem.dll" "DX_x86/$stem.dll" tools_x64/vyxcap.exe uninstall.exe; do
    osslsigncode verify -CAfile "$builds/cert.pem" -in "$installed/$file" >/dev/null 2>&1 || unsigned="$unsigned $file"
done
[ -n "$unsigned" ] && echo "not signed:$unsigned"
check "--sign: the service, the filters, the tools and the uninstaller verify; the maker's library keeps its own state" \
    "[ -z '$unsigned' ] && ! osslsigncode verify -CAfile '$builds/cert.pem' -in '$installed/DX_x64/VyxonCamera.dll' >/dev/null 2>&1"

step "downgrade, second folder, uninstall"
before=$(sums_of "$installed")
quiet=$(entry QuietUninstallString)
# A service that cannot be removed: its executable swapped for a stand-in that fails (the
# running service keeps the file it was started from).
mv "$installed/VYXCamService.exe" "$work/service.exe"
cp "$dist/tools_x64/vyxcatalog.exe" "$installed/VYXCamService.exe"
run_lines "$(winpath "$old_setup") /S" "$(winpath "$new_setup") /S /D=C:\\Elsewhere" "$quiet"
check "the older setup is refused with 1638 and changes nothing" \
    "[ ${statuses[0]} -eq 1638 ] && logged 'setup 1.9.0: failed, exit code 1638' && [ \"\$(entry DisplayVersion)\" = '$version' ]"
check "a second folder is refused with 1603 and nothing is made there" \
    "[ ${statuses[1]} -eq 1603 ] && [ ! -e '$drive_c/Elsewhere' ] && logged 'setup $version: failed, exit code 1603: .* is already installed in'"
mv -f "$work/service.exe" "$installed/VYXCamService.exe"
check "an uninstall whose service removal fails ends with 1603 and keeps the files and the entry" \
    "[ ${statuses[2]} -eq 1603 ] && [ \"\$(sums_of '$installed')\" = \"\$before\" ] && [ \"\$(entry DisplayVersion)\" = '$version' ]"
rm "$installed/VYXCamService.timings"
# The README open in a program that does not share deletion: it can go only at the next restart.
printf '@ping -n 60 127.0.0.1 >nul < "%s\\README-Windows.txt"\r\n' "$installed_win" >"$work/hold.cmd"
run_lines "start \"\" /b cmd /c $(winpath "$work/hold.cmd")" "ping -n 3 127.0.0.1 >nul" "$quiet"
uninstalled=$status
# What is left: each query ends with 1 when its key is not there.
run_lines "taskkill /F /IM ping.exe" "reg query \"$pending\" /v PendingFileRenameOperations >\"$(winpath "$work/pending")\"" \
    "reg query \"$service_key\"" "reg query HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\VYXDshowService" \
    "reg query HKLM\\Software\\Classes\\CLSID\\$clsid /reg:64" "reg query HKLM\\Software\\Classes\\CLSID\\$clsid /reg:32"
check "the quiet-uninstall command waits and ends with 3010: the file in use goes at the next restart" \
    "[ $uninstalled -eq 3010 ] && grep -i 'VYX Camera Driver.README-Windows.txt' '$work/pending' >/dev/null"
check "no service, event-log source or filter class is left in either registry view" \
    "[ ${statuses[2]} -eq 1 ] && [ ${statuses[3]} -eq 1 ] && [ ${statuses[4]} -eq 1 ] && [ ${statuses[5]} -eq 1 ]"
check "no entry or Start-menu folder, and of the files only the held README and the administrator's library" \
    "[ -z \"\$(entry DisplayVersion)\" ] && [ ! -e '$menu' ] &&
     [ \"\$(files_of '$installed')\" = \"\$(printf 'DX_x86/VyxonCamera.dll\nREADME-Windows.txt')\" ] &&
     cmp -s '$installed/DX_x86/VyxonCamera.dll' '$builds/admins-library.dll'"
check "the user's settings file is kept" "cmp -s '$settings' '$work/settings.before'"
check "the log holds every run: the install, the put-back upgrade, the upgrade, the downgrade, the uninstall" \
    "logged 'setup 1.9.0: done, exit code 0' && logged 'setup 1.9.5: failed, exit code 1603: The camera service' &&
     logged 'setup $version: done, exit code 0' && logged 'setup 1.9.0: failed, exit code 1638' &&
     logged 'Administrators own C:.Program Files.VYX Camera Driver and everything in it' && logged 'uninstall $version: done, exit code 3010'"

finish
