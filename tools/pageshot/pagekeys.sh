#!/usr/bin/env bash
# Drives one property page with the keyboard and the mouse, as a user would, and keeps a
# picture after each step (docs/pages.md has the check this was written for):
#   tools/pageshot/pagekeys.sh MODEL PAGE OUTDIR STEP...
# PAGE is 1 to 8 in pageshot's order. A STEP is xdotool key names ("Tab", "Right Right",
# "shift+Tab", "Next" for Page Down), "type TEXT", "wheel X Y BUTTON" (4 up, 5 down, at
# screen X, Y) or "shot NAME", which saves the screen around the page as OUTDIR/NAME.png.
# The page's own picture, after the last step, is OUTDIR/<lang>-<PAGE>-<page>.png. Needs
# xdotool and ImageMagick; LANG and LOCPATH choose the page language as for pageshot.sh.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
model=${1:?usage: pagekeys.sh MODEL PAGE OUTDIR STEP...}
page=${2:?usage: pagekeys.sh MODEL PAGE OUTDIR STEP...}
out=$(realpath -m "${3:?usage: pagekeys.sh MODEL PAGE OUTDIR STEP...}")
shift 3
mkdir -p "$out"
"$root/cmake/wine-cjk-fonts"
# The page stays up long enough for every step; it closes itself afterwards.
hold=$((20 + 2 * $#))
"$root/cmake/wine-run" "$root/build/dist/tools_x64/pageshot.exe" "$model" "Z:${out//\//\\}" --hold "$page" "$hold" \
    > "$out/pageshot.log" 2>&1 &
shown=$!
if [ -z "${DISPLAY:-}" ]; then
  for _ in $(seq 1 100); do [ -s "$root/build/xvfb.display" ] && break; sleep 0.1; done
  export DISPLAY=$(cat "$root/build/xvfb.display")
fi
window=
for _ in $(seq 1 100); do
  window=$(xdotool search --name '^Page$' 2>/dev/null | head -1) && [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "pagekeys: the page did not show" >&2; exit 1; }
sleep 1
xdotool windowfocus "$window"
for step in "$@"; do
  case $step in
    shot\ *) import -window root "$out/screen.png"
             convert "$out/screen.png" -crop 440x240+40+40 +repage "$out/${step#shot }.png";;
    wheel\ *) read -r _ x y button <<< "$step"; xdotool mousemove "$x" "$y" click "$button";;
    type\ *) xdotool type --delay 80 "${step#type }";;
    *) xdotool key --delay 80 $step;;
  esac
  sleep 0.6
done
wait "$shown"
rm -f "$out/screen.png"
