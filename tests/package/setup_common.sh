# What the setup program's tests share (sourced by setup_builds.sh, setup_refusals_test.sh
# and setup_test.sh): where things are, how a test runs setups under Wine, and how it reads
# what they did. Each Wine program start costs seconds on a busy machine: several command
# lines run in one cmd.exe, which then also reads the uninstall entry, the service's key and
# its state for the checks that follow.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
dist=${VYX_DIST_DIR:-$build/dist}
prefix=${VYX_WINEPREFIX:-$build/wineprefix-x64}
# setup_builds.sh's setups, certificate and camera libraries (a CTest fixture).
builds=${VYX_SETUP_BUILDS:-$build/setup-test-builds}
# No Linux menu entries for the Start-menu shortcuts.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
# Every Wine program has a limit of its own, so a hang fails the run in minutes.
win() { timeout 90 "$root/cmake/wine-run" "$@" </dev/null; }
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
step() { echo "== $SECONDS s: $*"; }
check() { if eval "$2"; then pass "$1"; else fail "$1"; fi; }
finish() {
    [ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
    echo "all checks passed"
}

drive_c="$prefix/drive_c"
installed="$drive_c/Program Files/VYX Camera Driver"
installed_win='C:\Program Files\VYX Camera Driver'
menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/VYX Camera Driver"
log="$drive_c/ProgramData/VYXDShowDriver/setup.log"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VYXCameraDriver'
service_key='HKLM\SYSTEM\CurrentControlSet\Services\VYXDshowService'
pending='HKLM\System\CurrentControlSet\Control\Session Manager'
stem=VYX_Kestrel1C
device="VYX Kestrel 1C Camera"
clsid=$(grep '^Kestrel 1C,' "$root/catalogue/models.csv" | grep -o '{[0-9A-F-]*}' | head -1)
version=$(sed -n 's/^PRODUCTVERSION \([0-9]*\),\([0-9]*\),\([0-9]*\),.*/\1.\2.\3/p' "$root/service/host/VYXCamService.rc")
old_setup="$builds/old/VYXCameraDriver-1.9.0-setup.exe"
new_setup="$builds/new/VYXCameraDriver-$version-setup.exe"
faulty_setup="$builds/faulty/VYXCameraDriver-1.9.5-setup.exe"
if [ ! -f "$faulty_setup" ] && [ "$(basename "$0")" != setup_builds.sh ]; then
    echo "FAILED: no setups in $builds: setup_builds.sh (CTest's package_setup_builds) makes them first"
    exit 1
fi
work=$(mktemp -d "$build/setup-test.XXXXXX")

# As the last run_lines left them: a value of the uninstall entry, of the service's key, and
# the service's state (empty when there is none).
entry() { tr -d '\r' <"$work/entry" 2>/dev/null | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
service() { tr -d '\r' <"$work/service" 2>/dev/null | sed -n "s/^ *$1 *REG_[A-Z_]* *//p"; }
service_state() { tr -d '\r' <"$work/sc" 2>/dev/null | sed -n 's/.*STATE *: *[0-9]* *//p'; }
unix_path() { local p="$drive_c/${1#C:\\}"; echo "${p//\\//}"; }  # unix_path C:\WINDOWS\PATH
hex() { od -An -v -tx1 "$@" | tr -d ' \n'; }
files_of() { (cd "$1" 2>/dev/null && find . -type f ! -name VYXCamService.timings | sed 's|^\./||' | sort); }
sums_of() { (cd "$1" 2>/dev/null && find . -type f -exec md5sum {} + | sort); }
# Read to its end: with pipefail, grep -q would fail the pipe it leaves early.
logged() { iconv -f UTF-16 -t UTF-8 "$log" 2>/dev/null | tr -d '\r' | grep -e "$1" >/dev/null; }
# run_lines LINE...: runs command lines exactly as written (so that "/D=C:\A B" reaches the
# setup unquoted, as NSIS wants it), from one batch file; their whole exit codes in
# ${statuses[@]} and the last in $status (a Linux exit code keeps only the low 8 bits).
# "set NAME=VALUE" lines set the environment of the lines after them.
run_lines() {
    local line i=0
    : >"$work/lines.cmd"
    rm -f "$work"/status.*
    for line in "$@"; do
        # Redirection first: "echo 1>file" would redirect stream 1.
        printf '@%s\r\n@>"%s" echo %%errorlevel%%\r\n' "$line" "$(winpath "$work/status.$i")" >>"$work/lines.cmd"
        i=$((i + 1))
    done
    printf '@reg query "%s" >"%s" 2>nul\r\n@reg query "%s" >"%s" 2>nul\r\n@sc query VYXDshowService >"%s" 2>nul\r\n' \
        "$entry" "$(winpath "$work/entry")" "$service_key" "$(winpath "$work/service")" "$(winpath "$work/sc")" \
        >>"$work/lines.cmd"
    win cmd /c "$(winpath "$work/lines.cmd")" >/dev/null 2>&1
    statuses=()
    for ((i = 0; i < $#; i++)); do
        status=$(tr -dc 0-9 <"$work/status.$i" 2>/dev/null)
        statuses+=("${status:--1}")
    done
}
run_setup() { run_lines "$(winpath "$1") ${*:2}"; }  # run_setup SETUP ARGS...
nothing_installed() { [ ! -e "$installed" ] && [ -z "$(entry DisplayVersion)" ] && [ -z "$(service_state)" ]; }
# What a test left in the prefix, or a run that a time-out cut short.
leave_clean() {
    if [ -f "$installed/uninstall.exe" ]; then
        cp "$installed/uninstall.exe" "$work/cleanup-uninstall.exe"
        win cmd /c "$(winpath "$work/cleanup-uninstall.exe") /S _?=$installed_win" >/dev/null 2>&1
    fi
    win reg delete "$pending" /v PendingFileRenameOperations /f >/dev/null 2>&1
    rm -rf "$installed" "$drive_c/Astro" "$drive_c/Elsewhere"
}
