#!/usr/bin/env bash
# vyxcap's recordings as other programs read them, on the Linux side: FFmpeg (ffprobe for
# counts and sizes, ffmpeg decoding to raw frames) and Siril (siril-cli). Every recordable
# format of a colour and a monochrome camera is recorded to SER and AVI together with the
# sample grabber's own frames (--raw); the decoded recordings must equal those frames pixel
# for pixel. Also: the SER time stamps, a recording killed half-way, the 16-bit byte order
# (Siril reads the samples as they are, FFmpeg byte-swapped), an AVI spanning OpenDML
# segments, and the formats a recording refuses.
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

cleanup() {
    for stem in "${builds[@]}"; do
        win "$regsvr32" /s /u "$(winpath "$dist/DX_$arch/$stem.dll")" || true
    done
    win "$tools/vyxsim.exe" unplug --all >/dev/null 2>&1 || true
    [ -n "${VYX_KEEP_TEST_FILES:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

# A fresh settings file, so both cameras start from their defaults (short exposures).
rm -f "$WINEPREFIX"/drive_c/users/*/AppData/Local/VYXDShowDriver/CamSettings.ini
win "$tools/vyxsim.exe" plug "Kestrel 1C" >/dev/null
win "$tools/vyxsim.exe" plug "Kestrel 1M" >/dev/null
for stem in "${builds[@]}"; do win "$regsvr32" /s "$(winpath "$dist/DX_$arch/$stem.dll")"; done

# capture DEVICE FORMAT NAME EXTRA...: records into $work/NAME.* with the grabber's frames.
capture() {
    local device=$1 format=$2 name=$3
    shift 3
    win "$vyxcap" capture "$device" --format "$format" --size $size --frames 6 \
        --raw "$(winpath "$work/$name.raw")" --json "$@" >"$work/$name.json" 2>"$work/$name.err"
}

# decoded FILE PIXFMT [FILTER]: the file's frames as ffmpeg decodes them, raw, to stdout.
decoded() {
    local file=$1 pixfmt=$2 filter=${3:-null}
    ffmpeg -nostdin -v error -i "$file" -vf "$filter" -f rawvideo -pix_fmt "$pixfmt" -
}
# grabbed NAME INPIX OUTPIX BOTTOMUP: the grabber's frames of a run, upright, decoded the same way.
grabbed() {
    local name=$1 inpix=$2 outpix=$3 bottom_up=$4 filter=null
    [ "$bottom_up" = yes ] && filter=vflip
    ffmpeg -nostdin -v error -f rawvideo -pix_fmt "$inpix" -s $size -i "$work/$name.raw" -vf "$filter" -f rawvideo -pix_fmt "$outpix" -
}
frames_of() { ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames,width,height -of csv=p=0 "$1"; }

# check_recording NAME EXT INPIX GRABBED_AS RECORDED_AS BOTTOMUP: counts, size and pixels of one
# recording; the grabber's frames are decoded as INPIX and written as GRABBED_AS, the
# recording's as RECORDED_AS.
check_recording() {
    local name=$1 ext=$2 inpix=$3 grabbed_as=$4 recorded_as=$5 bottom_up=$6
    local file="$work/$name.$ext" got want bytes
    got=$(frames_of "$file")
    [ "$got" = "${size%x*},${size#*x},6" ] || { fail "$name.$ext: ffprobe saw \"$got\" (width,height,frames), not ${size/x/,},6"; return; }
    got=$(decoded "$file" "$recorded_as" | md5sum)
    want=$(grabbed "$name" "$inpix" "$grabbed_as" "$bottom_up" | md5sum)
    bytes=$(grabbed "$name" "$inpix" "$grabbed_as" "$bottom_up" | wc -c)
    if [ "$got" = "$want" ] && [ "$bytes" -gt 0 ]; then
        pass "$name.$ext: 6 frames equal the sample grabber's, pixel for pixel"
    else
        fail "$name.$ext: the decoded frames differ from the sample grabber's"
    fi
}

# check_grey_avi NAME: an 8-bit AVI decodes through its palette to grey R=G=B pixels equal to
# the grabber's (FFmpeg's own grey conversions round, so the expansion is done here).
check_grey_avi() {
    local name=$1 file="$work/$1.avi" got
    got=$(frames_of "$file")
    [ "$got" = "${size%x*},${size#*x},6" ] || { fail "$name.avi: ffprobe saw \"$got\", not ${size/x/,},6"; return; }
    decoded "$file" rgb24 >"$work/$name.rgb"
    if python3 - "$work/$name.raw" "$work/$name.rgb" "${size%x*}" "${size#*x}" <<'PY'; then
import sys
raw, rgb = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
w, h = int(sys.argv[3]), int(sys.argv[4])
expected = bytearray()
for f in range(len(raw) // (w * h)):
    frame = raw[f * w * h:(f + 1) * w * h]
    for y in reversed(range(h)):  # bottom-up rows in the grabber's frames
        for v in frame[y * w:(y + 1) * w]:
            expected += bytes((v, v, v))
sys.exit(0 if len(expected) > 0 and bytes(expected) == rgb else 1)
PY
        pass "$name.avi: 6 frames, grey palette, equal to the sample grabber's pixel for pixel"
    else
        fail "$name.avi: the decoded frames differ from the sample grabber's"
    fi
}

echo "== Every recordable format of the colour camera, to SER and AVI"
# Each format once to SER; RGB24 and one 8-bit format also to AVI (RGB8 and Y800 share the
# 8-bit path). The colour camera's Y16 takes the same 16-bit path as the monochrome one's below.
# format  grabber's frames as  compared as  recording as  bottom-up  containers
while read -r format inpix grabbed_as recorded_as bottom_up containers; do
    for ext in $containers; do
        name="color-$format-$ext"
        extra=()
        # The PNG of the last frame, written by vyxcap's own converter: the SER's picture
        # must be the same picture, upright and in R, G, B order.
        [ "$name" = color-RGB24-ser ] && extra=(--out "$(winpath "$work/$name.png")")
        if ! capture "$color" "$format" "$name" --$ext "$(winpath "$work/$name.$ext")" "${extra[@]}"; then
            fail "$name: vyxcap failed: $(cat "$work/$name.err")"
        elif [ "$ext" = avi ] && [ "$inpix" = gray ]; then
            check_grey_avi "$name"
        else
            check_recording "$name" "$ext" "$inpix" "$grabbed_as" "$recorded_as" "$bottom_up"
        fi
    done
done <<'FORMATS'
RGB24 bgr24 rgb24 rgb24 yes ser avi
RGB8 gray gray gray yes ser
Y800 gray gray gray yes ser avi
FORMATS
got=$(decoded "$work/color-RGB24-ser.ser" rgb24 "select=eq(n\,5)" | md5sum)
want=$(decoded "$work/color-RGB24-ser.png" rgb24 | md5sum)
[ "$got" = "$want" ] && pass "the SER's last frame equals vyxcap's PNG of the same frame" ||
    fail "the SER's last frame differs from the PNG vyxcap wrote of it"

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
        python3 - "$work/$name.raw" "$work/siril/stats.csv" <<'PY' || failures=$((failures + 1))
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

echo "== A recording killed half-way is readable, with the frames it wrote"
killed="$work/killed.ser"
frame=$((320 * 240 * 3))
"$root/cmake/wine-run" "$vyxcap" capture "$color" --format RGB24 --size $size --frames 100000 \
    --ser "$(winpath "$killed")" </dev/null >/dev/null 2>&1 &
recorder=$!  # wine-run execs Wine, so this is the Windows program's own process
for _ in $(seq 1 600); do
    [ -f "$killed" ] && [ "$(stat -c %s "$killed")" -ge $((178 + 4 * frame)) ] && break
    sleep 0.1
done
kill -KILL "$recorder" 2>/dev/null || true
wait "$recorder" 2>/dev/null || true
count=$(python3 -c 'import struct,sys; print(struct.unpack_from("<i", open(sys.argv[1],"rb").read(), 38)[0])' "$killed")
got=$(frames_of "$killed")
if [ "$count" -ge 4 ] && [ "$got" = "320,240,$count" ] && [ "$(stat -c %s "$killed")" -ge $((178 + count * frame)) ] &&
   [ "$(decoded "$killed" rgb24 | wc -c)" -eq $((count * frame)) ]; then
    pass "killed after $count frames: the header counts them and ffmpeg decodes all $count"
else
    fail "killed recording: header count $count, ffprobe \"$got\", $(stat -c %s "$killed") bytes"
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

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all recording checks passed"
