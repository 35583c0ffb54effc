#!/usr/bin/env bash
# What the setup program refuses, under Wine, changing nothing, and the one new install that
# fails: ARM64 and 32-bit Windows (the faulty build takes the machine from
# VYX_TEST_NATIVE_MACHINE, since Wine runs only on x64), a second setup while one waits on
# its first page (1618), a chosen folder that holds files, and a new install into a new
# chosen folder whose service cannot be installed, which leaves nothing of itself. Runs the
# setups of setup_builds.sh; installs no service, so it needs only the service manager's lock.
source "$(dirname "${BASH_SOURCE[0]}")/setup_common.sh"
cleanup() {
    [ -n "${waiting_pid:-}" ] && kill "$waiting_pid" 2>/dev/null
    rm -rf "$drive_c/Astro" "$work"
}
trap cleanup EXIT
[ -e "$installed" ] && leave_clean
rm -rf "$drive_c/Astro" "$log"

step "refusals"
# The temporary folder holds the log until the helper has run.
temp_log="$(unix_path "$(win cmd /c 'echo %TEMP%' | tr -d '\r')")/VYXCameraDriver-setup.log"
rm -f "$temp_log"
# A setup waiting on its first page holds the lock of every other; the machine is judged
# before the lock is taken.
env --default-signal=INT timeout 60 "$root/cmake/wine-run" "$old_setup" </dev/null >/dev/null 2>&1 &
waiting_pid=$!
deadline=$((SECONDS + 30))
until logged 'setup 1.9.0: started: .*-setup.exe$' || [ $SECONDS -ge $deadline ]; do sleep 0.5; done
run_lines "set VYX_TEST_NATIVE_MACHINE=43620" "$(winpath "$faulty_setup") /S" \
    "set VYX_TEST_NATIVE_MACHINE=332" "$(winpath "$faulty_setup") /S" \
    "set VYX_TEST_NATIVE_MACHINE=" "$(winpath "$faulty_setup") /S"
refusals=("${statuses[@]}")
win taskkill /F /IM "$(basename "$old_setup")" >/dev/null 2>&1
wait "$waiting_pid" 2>/dev/null
waiting_pid=""
check "ARM64 Windows (machine given through a test build) is refused with 1603, saying ARM is not supported" \
    "[ ${refusals[1]} -eq 1603 ] && iconv -f UTF-16 -t UTF-8 '$temp_log' | grep 'exit code 1603: .*does not support Windows on ARM' >/dev/null"
check "32-bit Windows (machine given through a test build) is refused with 1603, pointing to the zip" \
    "[ ${refusals[3]} -eq 1603 ] && iconv -f UTF-16 -t UTF-8 '$temp_log' | grep 'exit code 1603: .*32-bit Windows, install from VYXCameraDriver-1.9.5.zip' >/dev/null"
check "a second setup while one runs is refused with 1618" "[ ${refusals[5]} -eq 1618 ]"

mkdir -p "$drive_c/Astro/Data"
echo "the user's own notes" >"$drive_c/Astro/Data/notes.txt"
before=$(sums_of "$drive_c/Astro")
run_lines "$(winpath "$old_setup") /S /D=C:\Astro\Data" "$(winpath "$faulty_setup") /S /D=C:\Astro\VYX Driver"
check "a chosen folder that holds files is refused (1603) and left as it was, its files untouched" \
    "[ ${statuses[0]} -eq 1603 ] && [ \"\$(sums_of '$drive_c/Astro')\" = \"\$before\" ] &&
     logged 'exit code 1603: C:.Astro.Data already holds files'"
check "a new install whose service cannot be installed ends with 1603 and leaves nothing of itself" \
    "[ ${statuses[1]} -eq 1603 ] && [ ! -e '$drive_c/Astro/VYX Driver' ] && nothing_installed &&
     [ ! -e '$menu' ] && logged 'nothing of this run is left'"
# On a failure, what the setup did and what it logged.
if [ "$failures" -gt 0 ]; then
    echo "the last setup's exit code: ${statuses[1]}; service state: '$(service_state)'; its log ends:"
    iconv -f UTF-16 -t UTF-8 "$log" 2>/dev/null | tr -d '\r' | tail -8
fi

finish
