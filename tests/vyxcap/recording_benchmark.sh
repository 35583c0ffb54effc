#!/usr/bin/env bash
# Recording throughput: vyxcap's frame rate at 1920 x 1080 RGB24 with and without a recording
# (SER, AVI), with the simulator's pacing off and at a paced 60 fps, best of three alternating
# rounds; beside them, what the target folder takes from a plain sequential write of the same
# frames (dd, no recording program in the way), the limit any recording meets there, and a
# SER recording to the NUL device, which has no such limit. Not a test: figures for
# docs/recording.md.
# Usage: tests/vyxcap/recording_benchmark.sh [FRAMES] [LINUX_DIR_FOR_RECORDINGS]   (after a build)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
frames=${1:-150}
target=${2:-$build/recording-benchmark}
mkdir -p "$target"
target=$(cd "$target" && pwd)
win() { VYX_BUILD_ROOT="$build" "$root/cmake/wine-run" "$@" </dev/null; }
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
vyxcap="$build/dist/tools_x64/vyxcap.exe"
vyxsim="$build/dist/tools_x64/vyxsim.exe"
filter="$(winpath "$build/dist/DX_x64/VYX_Kestrel8C.dll")"
device="VYX Kestrel 8C Camera"
rounds=3

cleanup() {
    win 'C:\windows\system32\regsvr32.exe' /s /u "$filter" || true
    win "$vyxsim" unplug --all >/dev/null 2>&1 || true
    rm -f "$target"/bench.ser "$target"/bench.avi "$target"/bench.dd
}
trap cleanup EXIT
win "$vyxsim" unplug --all >/dev/null
win "$vyxsim" plug "Kestrel 8C" >/dev/null
win 'C:\windows\system32\regsvr32.exe' /s "$filter"

# fps MODE FPS: vyxcap's "fps" for one capture; MODE is none, ser, avi or null (SER to the
# NUL device: the recording path's own cost, with no file and no page cache behind it).
fps() {
    local mode=$1 rate=$2 record=()
    case $mode in
        ser | avi) record=(--$mode "$(winpath "$target/bench.$mode")") ;;
        null) record=(--ser NUL) ;;
    esac
    win "$vyxcap" capture "$device" --format RGB24 --size 1920x1080 --fps "$rate" --frames "$frames" \
        "${record[@]}" --json | grep -o '"fps":[0-9.]*' | cut -d: -f2
    rm -f "$target/bench.$mode"
}
best() { printf '%s\n' "$@" | sort -g | tail -1; }
# written: frames a second that dd writes into the target, frames of the recording's size.
written() {
    local seconds
    seconds=$(dd if=/dev/zero of="$target/bench.dd" bs=$((1920 * 1080 * 3)) count="$frames" 2>&1 |
        sed -n 's/.* copied, \([0-9.]*\) s.*/\1/p')
    rm -f "$target/bench.dd"
    echo "$frames / $seconds" | bc -l
}

echo "Kestrel 8C, 1920 x 1080 RGB24, $frames frames, best of $rounds alternating rounds, recordings in $target"
plain=()
for _ in $(seq 1 $rounds); do plain+=("$(written)"); done
printf 'a plain write (dd) of the same frames into the target: %.1f frames/s\n' "$(best "${plain[@]}")"
printf '%-18s %12s %12s %8s %12s %8s\n' pacing "no recording" "SER" ratio "AVI" ratio
for pacing in off 60; do
    if [ "$pacing" = off ]; then switch=1; rate=1000; else switch=0; rate=$pacing; fi
    win "$vyxsim" set "Kestrel 8C" SimNoPacing $switch >/dev/null
    none=(); ser=(); avi=()
    for _ in $(seq 1 $rounds); do
        none+=("$(fps none $rate)"); ser+=("$(fps ser $rate)"); avi+=("$(fps avi $rate)")
    done
    n=$(best "${none[@]}"); s=$(best "${ser[@]}"); a=$(best "${avi[@]}")
    printf '%-18s %12.1f %12.1f %7.1f%% %12.1f %7.1f%%\n' "$([ "$pacing" = off ] && echo off || echo "$pacing fps")" \
        "$n" "$s" "$(echo "100 * $s / $n" | bc -l)" "$a" "$(echo "100 * $a / $n" | bc -l)"
done
win "$vyxsim" set "Kestrel 8C" SimNoPacing 1 >/dev/null
nul=()
for _ in $(seq 1 $rounds); do nul+=("$(fps null 1000)"); done
printf 'pacing off, SER to NUL (no file): %.1f fps\n' "$(best "${nul[@]}")"
