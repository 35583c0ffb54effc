#!/usr/bin/env bash
# vyxcap's recordings as other programs read them, on the Linux side: FFmpeg (ffprobe for
# counts and sizes, ffmpeg decoding to raw frames) and Siril (siril-cli). Every recordable
# format of a colour and a monochrome camera is recorded to SER and AVI together with the
# sample grabber's own frames (--raw); the decoded recordings must equal those frames pixel
# for pixel. Also: the SER time stamps, recordings stopped by Ctrl+C (completed) and killed
# half-way (readable), the 16-bit byte order (Siril reads the samples as they are, FFmpeg
# byte-swapped), an AVI spanning OpenDML segments, and the formats a recording refuses.
# Usage: recording_test.sh x64|x86 AVI_SEGMENT_WRITER.exe   (run by CTest)
set -euo pipefail
arch=$1
segment_writer=$2
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
dist=${VYX_DIST_DIR:-$build/dist}
win() { "$root/cmake/wine-run" "$@" </dev/null; }
if [ "$arch" = x86 ] && ! win --host-runs-32bit; then
    echo "SKIPPED: this host cannot run 32-bit programs, so Wine cannot start the x86 vyxcap"
    exit 77
fi
for tool in ffprobe ffmpeg siril-cli python3; do
    command -v "$tool" >/dev/null || { echo "FAILED: $tool is not installed (cmake/dependencies.sh lists it)"; exit 1; }
done

tools="$dist/tools_$arch"
vyxcap="$tools/vyxcap.exe"
if [ "$arch" = x64 ]; then regsvr32='C:\windows\system32\regsvr32.exe'; else regsvr32='C:\windows\syswow64\regsvr32.exe'; fi
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
builds=(VYX_Kestrel1C VYX_Kestrel1M)
color="VYX Kestrel 1C Camera"
mono="VYX Kestrel 1M Camera"
size=320x240
work=$(mktemp -d "$build/recording-test-$arch.XXXXXX")
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

filters=()
for stem in "${builds[@]}"; do filters+=("$(winpath "$dist/DX_$arch/$stem.dll")"); done
cleanup() {
    win "$regsvr32" /s /u "${filters[@]}" || true
    win "$tools/vyxsim.exe" unplug --all >/dev/null 2>&1 || true
    [ -n "${VYX_KEEP_TEST_FILES:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

# A fresh settings file, so both cameras start from their defaults (short exposures).
rm -f "$WINEPREFIX"/drive_c/users/*/AppData/Local/VYXDShowDriver/CamSettings.ini
win "$tools/vyxsim.exe" plug "Kestrel 1C" >/dev/null
win "$tools/vyxsim.exe" plug "Kestrel 1M" >/dev/null
win "$regsvr32" /s "${filters[@]}"

# capture DEVICE FORMAT NAME EXTRA...: records into $work/NAME.* with the grabber's frames.
capture() {
    local device=$1 format=$2 name=$3
    shift 3
    win "$vyxcap" capture "$device" --format "$format" --size $size --frames 6 \
        --raw "$(winpath "$work/$name.raw")" --json "$@" >"$work/$name.json" 2>"$work/$name.err"
}

# cut_short SIGNAL DEVICE FORMAT NAME EXT FRAME_BYTES: records NAME.EXT (with the grabber's
# frames) until at least 4 frames are in the file, then sends SIGNAL to the recording
# vyxcap; prints its exit status. SIGINT is how Wine hands a console program Ctrl+C: its
# signal handler runs the program's console control handlers with CTRL_C_EVENT.
cut_short() {
    local signal=$1 device=$2 format=$3 name=$4 ext=$5 frame_bytes=$6 file="$work/$4.$5" status=0
    "$root/cmake/wine-run" "$vyxcap" capture "$device" --format "$format" --size $size --frames 100000 \
        --raw "$(winpath "$work/$name.raw")" --json --$ext "$(winpath "$file")" \
        </dev/null >"$work/$name.json" 2>"$work/$name.err" &
    local recorder=$!  # wine-run execs Wine, so this is the Windows program's own process
    for _ in $(seq 1 600); do
        [ -f "$file" ] && [ "$(stat -c %s "$file")" -ge $((5500 + 4 * (frame_bytes + 8))) ] && break
        sleep 0.1
    done
    kill -$signal "$recorder" 2>/dev/null || true
    for _ in $(seq 1 300); do kill -0 "$recorder" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$recorder" 2>/dev/null || true  # one that outlives its stop by 30 s fails below
    wait "$recorder" 2>/dev/null || status=$?
    echo "$status"
}

# decoded FILE PIXFMT [FILTER]: the file's frames as ffmpeg decodes them, raw, to stdout.
decoded() {
    local file=$1 pixfmt=$2 filter=${3:-null}
    ffmpeg -nostdin -v error -i "$file" -vf "$filter" -f rawvideo -pix_fmt "$pixfmt" -
}
# grabbed NAME INPIX OUTPIX BOTTOMUP FRAMES: the grabber's first FRAMES frames of a run,
# upright, decoded the same way.
grabbed() {
    local name=$1 inpix=$2 outpix=$3 bottom_up=$4 frames=$5 filter=null
    [ "$bottom_up" = yes ] && filter=vflip
    head -c $((frames * $(bytes_per_pixel "$inpix") * ${size%x*} * ${size#*x})) "$work/$name.raw" |
        ffmpeg -nostdin -v error -f rawvideo -pix_fmt "$inpix" -s $size -i - -vf "$filter" -f rawvideo -pix_fmt "$outpix" -
}
bytes_per_pixel() { case $1 in bgr24) echo 3 ;; gray16le) echo 2 ;; *) echo 1 ;; esac; }
frames_of() { ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames,width,height -of csv=p=0 "$1"; }
header_count() { python3 -c 'import struct,sys; print(struct.unpack_from("<i", open(sys.argv[1],"rb").read(), 38)[0])' "$1"; }
json_frames() { grep -o '"recording":{[^}]*"frames":[0-9]*' "$1" | grep -o '[0-9]*$'; }

# check_recording NAME EXT INPIX GRABBED_AS RECORDED_AS BOTTOMUP [FRAMES]: counts, size and
# pixels of one recording of FRAMES frames (6); the grabber's frames are decoded as INPIX and
# written as GRABBED_AS, the recording's as RECORDED_AS.
check_recording() {
    local name=$1 ext=$2 inpix=$3 grabbed_as=$4 recorded_as=$5 bottom_up=$6 frames=${7:-6}
    local file="$work/$name.$ext" got want bytes
    got=$(frames_of "$file")
    [ "$got" = "${size%x*},${size#*x},$frames" ] || { fail "$name.$ext: ffprobe saw \"$got\" (width,height,frames), not ${size/x/,},$frames"; return; }
    got=$(decoded "$file" "$recorded_as" | md5sum)
    want=$(grabbed "$name" "$inpix" "$grabbed_as" "$bottom_up" "$frames" | md5sum)
    bytes=$(grabbed "$name" "$inpix" "$grabbed_as" "$bottom_up" "$frames" | wc -c)
    if [ "$got" = "$want" ] && [ "$bytes" -gt 0 ]; then
        pass "$name.$ext: $frames frames equal the sample grabber's, pixel for pixel"
    else
        fail "$name.$ext: the decoded frames differ from the sample grabber's"
    fi
}

# check_grey_avi NAME [FRAMES]: an 8-bit AVI decodes through its palette to grey R=G=B pixels
# equal to the grabber's (FFmpeg's own grey conversions round, so the expansion is done here).
check_grey_avi() {
    local name=$1 file="$work/$1.avi" frames=${2:-6} got
    got=$(frames_of "$file")
    [ "$got" = "${size%x*},${size#*x},$frames" ] || { fail "$name.avi: ffprobe saw \"$got\", not ${size/x/,},$frames"; return; }
    decoded "$file" rgb24 >"$work/$name.rgb"
    if python3 - "$work/$name.raw" "$work/$name.rgb" "${size%x*}" "${size#*x}" "$frames" <<'PY'; then
import sys
raw, rgb = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
w, h, frames = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
expected = bytearray()
for f in range(frames):
    frame = raw[f * w * h:(f + 1) * w * h]
    for y in reversed(range(h)):  # bottom-up rows in the grabber's frames
        for v in frame[y * w:(y + 1) * w]:
            expected += bytes((v, v, v))
sys.exit(0 if len(expected) > 0 and bytes(expected) == rgb else 1)
PY
        pass "$name.avi: $frames frames, grey palette, equal to the sample grabber's pixel for pixel"
    else
        fail "$name.avi: the decoded frames differ from the sample grabber's"
    fi
}

# Programs under Wine dominate this test's time, so every recording proves as much as it can,
# and what needs neither the colour camera nor its order runs beside the colour camera's
# recordings: the monochrome camera's 16-bit SER with Siril, and the segmented AVI.
mono_checks() {
echo "== The 16-bit byte order: Siril reads the monochrome camera's SER as the grabber saw it"
name=mono-Y16
if capture "$mono" Y16 "$name" --ser "$(winpath "$work/$name.ser")"; then
    # FFmpeg reads the LittleEndian field 0 as big-endian data, so its pixels are the
    # grabber's byte-swapped: decoding the grabber's frames as little-endian and writing them
    # big-endian gives the same bytes only if the SER holds the samples unswapped.
    check_recording "$name" ser gray16le gray16be gray16le no
    mkdir -p "$work/siril"
    cp "$work/$name.ser" "$work/siril/mono.ser"
    printf 'requires 1.0.0\ncd %s\nseqstat mono stats.csv basic\n' "$work/siril" >"$work/siril/stats.ssf"
    if (cd "$work/siril" && timeout 120 siril-cli -d "$work/siril" -s stats.ssf >siril.log 2>&1); then
        python3 - "$work/$name.raw" "$work/siril/stats.csv" <<'PY' || fail "Siril's reading"
import struct, sys
raw = open(sys.argv[1], "rb").read()
pixels = 320 * 240
rows = [l.split("\t") for l in open(sys.argv[2]).read().splitlines()[1:] if l.strip()]
if len(rows) != 6: print("FAILED: Siril saw %d frames, not 6" % len(rows)); sys.exit(1)
for i, row in enumerate(rows):
    frame = struct.unpack_from("<%dH" % pixels, raw, 2 * pixels * i)
    siril_min, siril_max = (round(float(v) * 65535) for v in row[5:7])
    if (siril_min, siril_max) != (min(frame), max(frame)):
        print("FAILED: frame %d: Siril's darkest and brightest pixels are %d and %d, the grabber's %d and %d"
              % (i, siril_min, siril_max, min(frame), max(frame))); sys.exit(1)
print("ok: Siril's darkest and brightest pixel of each of the 6 frames equal the grabber's (for example %d and %d)"
      % (min(frame), max(frame)))
PY
    else
        fail "siril-cli could not read the SER: $(tail -5 "$work/siril/siril.log")"
    fi
else
    fail "$name: vyxcap failed: $(cat "$work/$name.err")"
fi

echo "== An AVI past its segment limit goes on in OpenDML AVIX segments"
if win "$segment_writer" "$(winpath "$work/segments.avi")" "$(winpath "$work/segments.raw")" >"$work/segments.log" 2>&1; then
    segments=$(grep -c AVIX "$work/segments.avi" || true)
    got=$(frames_of "$work/segments.avi")
    want=$(ffmpeg -nostdin -v error -f rawvideo -pix_fmt bgr24 -s 64x48 -i "$work/segments.raw" -vf vflip -f rawvideo -pix_fmt rgb24 - | md5sum)
    if [ "$segments" -ge 2 ] && [ "$got" = "64,48,40" ] && [ "$(decoded "$work/segments.avi" rgb24 | md5sum)" = "$want" ]; then
        pass "40 frames over $((segments + 1)) RIFF segments, all read back"
    else
        fail "segmented AVI: $segments AVIX segments, ffprobe \"$got\""
    fi
else
    fail "the segment writer failed: $(cat "$work/segments.log")"
fi
[ "$failures" -eq 0 ]
}
mono_checks >"$work/mono.log" 2>&1 &
mono_job=$!

echo "== Every recordable format of the colour camera, to SER and AVI"
# RGB24 to SER as asked, with the PNG of the last frame written by vyxcap's own converter:
# the SER's picture must be the same picture, upright and in R, G, B order.
name=color-RGB24-ser
if capture "$color" RGB24 "$name" --ser "$(winpath "$work/$name.ser")" --out "$(winpath "$work/$name.png")"; then
    check_recording "$name" ser bgr24 rgb24 rgb24 yes
    got=$(decoded "$work/$name.ser" rgb24 "select=eq(n\,5)" | md5sum)
    want=$(decoded "$work/$name.png" rgb24 | md5sum)
    [ "$got" = "$want" ] && pass "the SER's last frame equals vyxcap's PNG of the same frame" ||
        fail "the SER's last frame differs from the PNG vyxcap wrote of it"
else
    fail "$name: vyxcap failed: $(cat "$work/$name.err")"
fi
echo "== SER header and time stamps"
python3 - "$work/color-RGB24-ser.ser" "$work/color-RGB24-ser.json" <<'PY' || failures=$((failures + 1))
import json, struct, sys, time
data = open(sys.argv[1], "rb").read()
report = json.load(open(sys.argv[2]))
fields = struct.unpack_from("<14s7i", data, 0)
magic, luid, color, little, width, height, depth, count = fields
instrument = data[82:122].rstrip(b"\0").decode()
local_time, utc = struct.unpack_from("<qq", data, 162)
frame = width * height * 3
times = struct.unpack_from("<%dq" % count, data, 178 + count * frame)
problems = []
if magic != b"LUCAM-RECORDER": problems.append("magic %r" % magic)
if (color, little, depth, count) != (101, 0, 8, 6): problems.append("ColorID, LittleEndian, depth, count = %r" % ((color, little, depth, count),))
if instrument != report["device"]: problems.append("instrument %r" % instrument)
if len(data) != 178 + count * frame + 8 * count: problems.append("file size %d" % len(data))
if any(b <= a for a, b in zip(times, times[1:])): problems.append("time stamps do not increase: %r" % (times,))
# The frames' own times: the trailer spans exactly what the sample times span.
last_start = report["lastEnd"] - report["maxDuration"]
if report["minDuration"] == report["maxDuration"] and times[-1] - times[0] != last_start - report["firstStart"]:
    problems.append("trailer spans %d ticks, the frames %d" % (times[-1] - times[0], last_start - report["firstStart"]))
now = (time.time() + 62135596800) * 1e7  # Unix seconds to ticks since 0001-01-01
if not (abs(times[0] - now) < 600e7 and abs(utc - now) < 600e7): problems.append("times far from now: %d %d" % (utc, times[0]))
if problems:
    print("FAILED: SER header or trailer: " + "; ".join(problems)); sys.exit(1)
print("ok: SER header (BGR, LittleEndian 0, instrument %r), 6 increasing UTC time stamps matching the frame times" % instrument)
PY

echo "== Ctrl+C stops a recording and completes its file; one killed outright keeps its frames"
# The other formats' recordings are cut short: RGB24 to AVI and RGB8 to SER by Ctrl+C, Y800
# to SER and to AVI by SIGKILL. Each still holds frames equal to the grabber's first ones.
frame24=$((320 * 240 * 3))
frame8=$((320 * 240))
name=color-RGB24-avi
status=$(cut_short INT "$color" RGB24 "$name" avi $frame24)
n=$(json_frames "$work/$name.json" || echo 0)
if [ "$status" = 130 ] && [ "$n" -ge 4 ] && grep -q idx1 "$work/$name.avi"; then
    pass "Ctrl+C: vyxcap exits with 130 and reports $n frames; the AVI is indexed"
    check_recording "$name" avi bgr24 rgb24 rgb24 yes "$n"
else
    fail "Ctrl+C on an AVI recording: exit $status, $n frames reported, $(grep -c idx1 "$work/$name.avi") idx1: $(cat "$work/$name.err")"
fi
name=color-RGB8-ser
status=$(cut_short INT "$color" RGB8 "$name" ser $frame8)
n=$(json_frames "$work/$name.json" || echo 0)
count=$(header_count "$work/$name.ser")
if [ "$status" = 130 ] && [ "$n" -ge 4 ] && [ "$count" = "$n" ] &&
   [ "$(stat -c %s "$work/$name.ser")" -eq $((178 + n * frame8 + 8 * n)) ]; then
    pass "Ctrl+C: the SER's header counts the $n frames reported, and the time stamp trailer follows them"
    check_recording "$name" ser gray gray gray yes "$n"
else
    fail "Ctrl+C on a SER recording: exit $status, $n frames reported, header $count, $(stat -c %s "$work/$name.ser") bytes"
fi
name=color-Y800-ser
status=$(cut_short KILL "$color" Y800 "$name" ser $frame8)
count=$(header_count "$work/$name.ser")
if [ "$status" = 137 ] && [ "$count" -ge 4 ] && [ "$(stat -c %s "$work/$name.ser")" -ge $((178 + count * frame8)) ]; then
    pass "killed: the SER's header counts the $count frames in the file"
    check_recording "$name" ser gray gray gray yes "$count"
else
    fail "killed SER recording: exit $status, header count $count, $(stat -c %s "$work/$name.ser") bytes"
fi
name=color-Y800-avi
status=$(cut_short KILL "$color" Y800 "$name" avi $frame8)
# Whole frames in the file: 8-byte chunk headers and frames from the 'movi' list's data on.
count=$(python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); print((len(d) - d.index(b"movi") - 4) // (8 + int(sys.argv[2])))' \
    "$work/$name.avi" $frame8)
if [ "$status" = 137 ] && [ "$count" -ge 4 ]; then
    pass "killed: the AVI holds $count whole frames, without an index"
    check_grey_avi "$name" "$count"
else
    fail "killed AVI recording: exit $status, $count whole frames"
fi

echo "== A format a recording refuses, with no file left behind (the others: vyxcap_unit_test)"
refused() {
    local format=$1 ext=$2 expected=$3 name="refused-$1-$2" status=0
    capture "$color" "$format" "$name" --$ext "$(winpath "$work/$name.$ext")" || status=$?
    if [ "$status" -eq 1 ] && grep -q -- "$expected" "$work/$name.err" && [ ! -e "$work/$name.$ext" ] &&
       [ "$(wc -l <"$work/$name.err")" -eq 1 ]; then
        pass "$format to $ext refused: $(cat "$work/$name.err")"
    else
        fail "$format to $ext: exit $status, \"$(cat "$work/$name.err")\", file $( [ -e "$work/$name.$ext" ] && echo left || echo absent)"
    fi
}
refused YUY2 ser "YUY2"

wait "$mono_job" || failures=$((failures + $(grep -c '^FAILED' "$work/mono.log") ))
cat "$work/mono.log"
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all recording checks passed"
