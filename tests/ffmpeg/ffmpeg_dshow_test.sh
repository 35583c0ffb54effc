#!/usr/bin/env bash
# FFmpeg's own DirectShow input (-f dshow), cross-built from Debian's source package by
# cmake/ffmpeg-for-tests.sh, run under Wine against a registered filter build as a user
# runs it: the device list; the option list against the filter's own GetStreamCaps (as
# vyxcap caps prints it); captures in every format FFmpeg can take, at two sizes and one
# requested frame rate each, with the frames counted, their time stamps at the requested
# rate and their pixels equal to the sample grabber's (vyxcap --raw) on the simulator's
# test pattern; and stops by frame count and by Ctrl+C that leave the camera free for the
# next program. The colour run also takes a first capture at the camera's power-on
# settings, as a new user would: it must show the sky and its stars.
# Usage: ffmpeg_dshow_test.sh color|mono   (run by CTest, x64 tree)
set -euo pipefail
kind=$1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${VYX_BUILD_ROOT:-$root/build}
dist=${VYX_DIST_DIR:-$build/dist}
ffmpeg=$build/ffmpeg/ffmpeg.exe
if [ ! -f "$ffmpeg" ]; then
    reason=$(cat "$build/ffmpeg/skip-reason" 2>/dev/null || echo "cmake/ffmpeg-for-tests.sh has not run (./run test runs it)")
    echo "SKIPPED: no ffmpeg.exe to test with: $reason"
    exit 77
fi
for tool in python3 ffmpeg; do
    command -v "$tool" >/dev/null || { echo "FAILED: $tool is not installed (cmake/dependencies.sh lists it)"; exit 1; }
done

tools=$dist/tools_x64
regsvr32='C:\windows\system32\regsvr32.exe'
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
# Every Windows program gets a time-out: a hung graph fails the test instead of hanging it.
win() { timeout -k 5 "${WIN_TIMEOUT:-40}" "$root/cmake/wine-run" "$@" </dev/null; }
ff() { win "$ffmpeg" -hide_banner -nostdin "$@"; }

case $kind in
    color) model="Kestrel 1C" ;;
    mono) model="Kestrel 1M" ;;
    *) echo "usage: $0 color|mono" >&2; exit 2 ;;
esac
device="VYX $model Camera"
filter=$(winpath "$dist/DX_x64/VYX_${model// /}.dll")
work=$(mktemp -d "$build/ffmpeg-test-$kind.XXXXXX")
settings_file() { echo "${VYX_WINEPREFIX:-$build/wineprefix-x64}"/drive_c/users/*/AppData/Local/VYXDShowDriver/CamSettings.ini; }
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

cleanup() {
    win "$regsvr32" /s /u "$filter" || true
    win "$tools/vyxsim.exe" unplug "$model" >/dev/null 2>&1 || true
    [ -n "${VYX_KEEP_TEST_FILES:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

# The power-on settings, not those a previous test left in the settings file.
rm -f $(settings_file)
win "$tools/vyxsim.exe" plug "$model" >/dev/null
win "$regsvr32" /s "$filter"
cd "$work"

echo "== The device list"
ff -list_devices true -f dshow -i dummy >/dev/null 2>list.err || true
if grep -qF "\"$device\" (video)" list.err; then
    pass "FFmpeg lists \"$device\" as a video device"
else
    fail "FFmpeg's device list lacks \"$device\": $(grep dshow list.err | head -5)"
fi

echo "== The option list against GetStreamCaps"
ff -list_options true -f dshow -i video="$device" >/dev/null 2>options.err || true
win "$tools/vyxcap.exe" caps "$device" >caps.txt
python3 - options.err caps.txt <<'PY' || failures=$((failures + 1))
import re, sys
options = open(sys.argv[1], errors="replace").read()
caps = [l.split() for l in open(sys.argv[2]).read().splitlines()[1:] if l.strip()]
# FFmpeg's names: BI_RGB types by their bit count (so both 8-bit grey types are "rgb8"),
# FOURCC types by the FOURCCs it knows ("Y16 " is not one of them).
names = {"RGB24": "bgr24", "YUY2": "yuyv422", "RGB8": "rgb8", "Y800": "rgb8", "Y16": None}
expected, unknown = [], 0
for index, subtype, width, height, bits, min_interval, max_interval in caps:
    name = names[subtype]
    if name is None:
        unknown += 1
        continue
    expected.append((name, "%sx%s" % (width, height), 10000000 / int(max_interval), 10000000 / int(min_interval)))
listed = [(m[0], m[1], float(m[2]), float(m[4]))
          for m in re.findall(r"pixel_format=(\S+)\s+min s=(\S+) fps=(\S+) max s=(\S+) fps=(\S+)", options)]
same_size = all(re.search(r"min s=(\S+) fps=\S+ max s=\1 ", l) for l in options.splitlines() if "pixel_format=" in l)
listed_unknown = options.count("unknown compression type 0x20363159")
if listed != expected or not same_size:
    first = next((i for i, (a, b) in enumerate(zip(listed, expected)) if a != b), min(len(listed), len(expected)))
    print("FAILED: FFmpeg lists %d named options, GetStreamCaps gives %d; first difference at %d: %r against %r"
          % (len(listed), len(expected), first, listed[first:first + 1], expected[first:first + 1]))
    sys.exit(1)
if listed_unknown != unknown:
    print("FAILED: FFmpeg cannot name %d options, GetStreamCaps gives %d of \"Y16 \"" % (listed_unknown, unknown))
    sys.exit(1)
formats = sorted(set(n for n, *_ in listed))
print("ok: FFmpeg lists every size of %s as GetStreamCaps gives them (%d options, fps %g to %g), "
      "and cannot name %d (\"Y16 \")" % (", ".join(formats), len(listed), listed[0][2], listed[0][3], unknown))
PY

# first_capture: FFmpeg with no options but the device, one frame: the format it picks and
# a picture of the sky with stars at the camera's power-on exposure and gain.
first_capture() {
    if ff -f dshow -i video="$device" -frames:v 1 -f rawvideo first.raw >/dev/null 2>first.err; then
        local stream
        stream=$(grep -o "Video: rawvideo, [a-z0-9]*, [0-9x]*" first.err | head -1)
        python3 - first.raw "$stream" <<'PY' || failures=$((failures + 1))
import sys
data, stream = open(sys.argv[1], "rb").read(), sys.argv[2]
fmt, size = stream.split(", ")[1:3]
w, h = map(int, size.split("x"))
if (fmt, w, h) != ("bgr24", 1280, 960) or len(data) != w * h * 3:
    print("FAILED: the first capture is %r with %d bytes, not the full sensor in bgr24" % (stream, len(data))); sys.exit(1)
mean = sum(data) / len(data)
grey = [(data[i] + data[i + 1] + data[i + 2]) // 3 for i in range(0, len(data), 3)]
sky = sorted(grey)[len(grey) // 2]
stars = 0
# A star: brighter than its eight neighbours, 24 levels above the sky, light around it.
for i, v in enumerate(grey):
    if v < sky + 24: continue
    y, x = divmod(i, w)
    if not (2 <= x < w - 2 and 2 <= y < h - 2): continue
    around = [grey[i + dy * w + dx] for dy in (-1, 0, 1) for dx in (-1, 0, 1) if dx or dy]
    if max(around) < v and grey[i - 1] + grey[i + 1] + grey[i - w] + grey[i + w] >= 4 * sky + 8:
        stars += 1
if mean <= 5 or stars < 20:
    print("FAILED: the first capture at power-on settings is too dark: mean %.2f of 255, %d stars" % (mean, stars)); sys.exit(1)
print("ok: first capture at power-on settings (bgr24 1280x960): mean %.1f of 255, %d stars, sky level %d" % (mean, stars, sky))
PY
    else
        fail "the first capture failed: $(grep -v ALSA first.err | tail -3)"
    fi
}
[ "$kind" = color ] && { echo "== A first capture at the power-on settings"; first_capture; }

# The rest compares pixels: the simulator's test pattern is the same in every frame.
win "$tools/vyxsim.exe" set "$model" SimTestPattern 1 >/dev/null

# capture PIXFMT SUBTYPE WxH FPS BOTTOMUP [RTBUFSIZE]: 5 frames through FFmpeg and one
# through the sample grabber at the same settings.
capture() {
    local pixfmt=$1 subtype=$2 size=$3 fps=$4 bottom_up=$5 rtbuf=${6:-} name="$1-$3-$4" options=()
    [ -n "$rtbuf" ] && options=(-rtbufsize "$rtbuf")
    if ! ff -f dshow "${options[@]}" -pixel_format "$pixfmt" -video_size "$size" -framerate "$fps" \
            -i video="$device" -frames:v 5 -f framemd5 "$name.md5" >/dev/null 2>"$name.err"; then
        fail "$name: ffmpeg failed: $(grep -v ALSA "$name.err" | tail -3)"
        return
    fi
    if ! win "$tools/vyxcap.exe" capture "$device" --format "$subtype" --size "$size" --frames 1 \
            --raw "$(winpath "$work/$name.raw")" >/dev/null 2>"$name.vyxcap.err"; then
        fail "$name: vyxcap failed: $(cat "$name.vyxcap.err")"
        return
    fi
    python3 - "$name" "$size" "$fps" "$bottom_up" <<'PY' || failures=$((failures + 1))
import hashlib, re, sys
name, size, fps, bottom_up = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4] == "yes"
w, h = map(int, size.split("x"))
md5 = open(name + ".md5").read()
err = open(name + ".err", errors="replace").read()
frames = [l.split(",") for l in md5.splitlines() if l and not l.startswith("#")]
pts = [int(f[2]) for f in frames]
problems = []
if "#tb 0: 1/%d" % fps not in md5: problems.append("time base %r" % re.findall(r"#tb 0: \S+", md5))
if len(frames) != 5: problems.append("%d frames, not 5" % len(frames))
if "too full" in err: problems.append("FFmpeg dropped frames: its real-time buffer was too full")
# FFmpeg takes a sample start of 0 for "no time stamp" and stamps the first frame with the
# graph clock instead; every later frame carries the filter's own time.
if any(b - a != 1 for a, b in zip(pts[1:], pts[2:])) or (len(pts) > 1 and pts[0] >= pts[1]):
    problems.append("time stamps %r are not one frame apart at %d fps" % (pts, fps))
raw = open(name + ".raw", "rb").read()
stride = len(raw) // h
rows = [raw[y * stride:(y + 1) * stride] for y in range(h)]
grabbed = hashlib.md5(b"".join(reversed(rows) if bottom_up else rows)).hexdigest()
if len(raw) == 0 or any(f[5].strip() != grabbed for f in frames):
    problems.append("pixels differ from the sample grabber's (%s against %s)" % (frames[0][5].strip() if frames else "-", grabbed))
if problems:
    print("FAILED: %s: %s" % (name, "; ".join(problems))); sys.exit(1)
print("ok: %s: 5 frames at %d fps (pts %s), each equal to the sample grabber's frame" % (name, fps, ",".join(map(str, pts))))
PY
}

echo "== Captures in every format FFmpeg can take, two sizes each"
# Frame rates at or below 1/exposure: the camera's power-on exposure (100 ms planetary,
# 250 ms guide) bounds its rate whatever is requested.
if [ "$kind" = color ]; then
    capture bgr24 RGB24 1280x960 8 yes 16M
    capture bgr24 RGB24 640x480 5 yes
    capture yuyv422 YUY2 1280x720 8 no 16M
    capture yuyv422 YUY2 320x240 10 no
    capture rgb8 RGB8 1024x768 8 yes
    capture rgb8 RGB8 424x320 5 yes
else
    capture rgb8 RGB8 1280x960 4 yes 8M
    capture rgb8 RGB8 640x480 2 yes
    # FFmpeg cannot ask for "Y800" apart from RGB8 (both are "rgb8" to it). On a monochrome
    # camera both come from the same 8-bit image, so the raw bytes FFmpeg writes for rgb8
    # are the grey levels, upright, as docs/applications.md tells users to read them.
    win "$tools/vyxcap.exe" capture "$device" --format Y800 --size 640x480 --frames 1 \
        --raw "$(winpath "$work/y800.raw")" >/dev/null 2>&1 || true
    cmp -s y800.raw rgb8-640x480-2.raw && pass "Y800 and RGB8 carry the same grey bytes" ||
        fail "Y800's bytes differ from RGB8's at 640x480"
    # FFmpeg knows neither grey type as grey, so asking for gray fails (the guide says so).
    if ! ff -f dshow -pixel_format gray -i video="$device" -frames:v 1 -f null - >/dev/null 2>gray.err &&
       grep -q "Could not set video options" gray.err; then
        pass "-pixel_format gray fails with \"Could not set video options\""
    else
        fail "-pixel_format gray: $(grep -v ALSA gray.err | tail -2)"
    fi
    if ff -f dshow -pixel_format rgb8 -video_size 640x480 -framerate 2 -i video="$device" \
            -frames:v 5 -f rawvideo grey.raw >/dev/null 2>grey.err; then
        python3 - grey.raw y800.raw 640 480 <<'PY' || failures=$((failures + 1))
import sys
raw, grabbed, w, h = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read(), int(sys.argv[3]), int(sys.argv[4])
upright = b"".join(grabbed[y * w:(y + 1) * w] for y in reversed(range(h)))
if len(raw) != 5 * w * h or any(raw[i * w * h:(i + 1) * w * h] != upright for i in range(5)):
    print("FAILED: grey.raw holds %d bytes that are not 5 upright copies of the grabber's grey frame" % len(raw)); sys.exit(1)
print("ok: -f rawvideo of rgb8 writes the grey levels upright, one byte a pixel (5 frames of 640x480)")
PY
        # The guide's next step, with the machine's own FFmpeg: one grey PNG per frame.
        if ffmpeg -nostdin -v error -f rawvideo -pixel_format gray -video_size 640x480 -i grey.raw grey-%d.png &&
           [ -f grey-5.png ] && [ ! -e grey-6.png ]; then
            pass "grey.raw read as gray gives grey-1.png to grey-5.png"
        else
            fail "grey.raw could not be read back as 5 grey frames"
        fi
    else
        fail "the raw grey capture failed: $(grep -v ALSA grey.err | tail -3)"
    fi
fi

if [ "$kind" = color ]; then
    echo "== Ctrl+C stops a capture cleanly and leaves the camera free"
    # The AVI's index is written only after FFmpeg's close, which stops the graph first.
    # SIGINT is how Wine hands a console program Ctrl+C; FFmpeg's "q" key needs a console
    # that Wine does not give a program started from a script.
    "$root/cmake/wine-run" "$ffmpeg" -hide_banner -nostdin -f dshow -pixel_format yuyv422 -video_size 320x240 \
        -framerate 10 -i video="$device" -c:v rawvideo -f avi stopped.avi </dev/null >/dev/null 2>stopped.err &
    capturer=$!  # wine-run execs Wine's 64-bit loader: this is ffmpeg.exe itself
    for _ in $(seq 1 300); do grep -Eq "frame= *([3-9]|[1-9][0-9])" stopped.err 2>/dev/null && break; sleep 0.1; done
    kill -INT "$capturer" 2>/dev/null || true
    status=0
    for _ in $(seq 1 150); do kill -0 "$capturer" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$capturer" 2>/dev/null && status=killed
    [ "$status" = killed ] || wait "$capturer" || status=$?
    frames=$(grep -o "frame= *[0-9]*" stopped.err | tail -1 | grep -o "[0-9]*$" || echo 0)
    if [ "$status" = 255 ] && grep -q "Exiting normally, received signal 2" stopped.err && grep -q idx1 stopped.avi &&
       [ "$frames" -ge 3 ]; then
        pass "Ctrl+C: FFmpeg stopped after $frames frames within 15 s, exit 255, the AVI indexed"
    else
        fail "Ctrl+C: exit $status, $frames frames, $(grep -c idx1 stopped.avi 2>/dev/null || echo 0) idx1: $(grep -v ALSA stopped.err | tail -2)"
    fi
    if win "$tools/vyxcap.exe" capture "$device" --frames 2 >/dev/null 2>after.err; then
        pass "the camera streams again for the next program at once"
    else
        fail "after the stop the camera does not stream: $(cat after.err)"
    fi
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all FFmpeg checks passed"
