#!/usr/bin/env bash
# Opens the stereo plug-in's editor in jalv.gtk3 on a private Xvfb server with a dummy JACK server and
# checks that the editor's window (400 x 353 at zoom 1) is embedded in jalv's window. With a second
# argument, saves a screenshot of jalv's window there (docs/lv2-editor-jalv.png comes from this).
#
# With --pointer TOOL (the build's qrv_xpointer, real pointer input through XTest), also checks that
# jalv's window fits the editor as its size changes: the wheel over the zoom percentage takes it to
# 200 % and back, a click on the preset name opens the browser and another closes it, and jalv's
# window follows each time, shrinking as well as growing.
#
# Usage: scripts/jalv-editor.sh [--pointer TOOL] LV2_PATH [SCREENSHOT.png]
# Fails when Xvfb, jackd, jalv.gtk3 or xwininfo (or import, for a screenshot) is missing.
set -euo pipefail

usage="usage: jalv-editor.sh [--pointer TOOL] LV2_PATH [SCREENSHOT.png]"
pointer=
if [ "${1:-}" = --pointer ]; then
  pointer=$(realpath "${2:?$usage}")
  shift 2
fi
lv2_path=$(realpath "${1:?$usage}")
shot=${2:-}
uri=urn:quarry-tone:warmglow:stereo
need=(Xvfb jackd jalv.gtk3 xwininfo)
[ -n "$shot" ] && need+=(import)
[ -n "$pointer" ] && need+=("$pointer")
. "$(dirname "$0")/lib/private-session.sh"
require_tools "${need[@]}"
start_session
export LV2_PATH=$lv2_path
start_xvfb
start_jack qrv-jalv

# jalv needs the JACK server up; it gives up at once when there is none yet.
jalv_pid=
for _ in $(seq 1 50); do
  jalv.gtk3 "$uri" >"$scratch/jalv.log" 2>&1 &
  jalv_pid=$!
  sleep 0.5
  kill -0 "$jalv_pid" 2>/dev/null && break
  jalv_pid=
done
if [ -z "$jalv_pid" ]; then
  echo "error: jalv.gtk3 did not stay up" >&2
  cat "$scratch/jalv.log" "$scratch/jackd.log" >&2
  exit 1
fi
pids+=("$jalv_pid")

# jalv's top-level window, then the editor's 400 x 353 window somewhere inside it.
found=
for _ in $(seq 1 60); do
  tree=$(xwininfo -root -tree 2>/dev/null || true)
  top=$(grep -m1 '"QRV warmGlow Stereo"' <<<"$tree" | awk '{print $1}' || true)
  if [ -n "$top" ] && xwininfo -id "$top" -tree 2>/dev/null | grep -q ' 400x353+'; then
    found=$top
    break
  fi
  sleep 0.25
done
if [ -z "$found" ]; then
  echo "error: no editor window inside jalv's window" >&2
  xwininfo -root -tree >&2 || true
  cat "$scratch/jalv.log" >&2
  exit 1
fi
echo "jalv.gtk3 shows the editor in window $found"

if [ -n "$pointer" ]; then
  # The editor's own window: the innermost of the windows of its size.
  editor=$(xwininfo -id "$found" -tree | grep ' 400x353+' | tail -1 | awk '{print $1}')
  size_of_jalv() { xwininfo -id "$found" | awk '/^  Width:/ {w=$2} /^  Height:/ {h=$2} END {print w "x" h}'; }
  # jalv's window: the editor and jalv's 25-pixel menu bar.
  expect_jalv() {
    local size=
    for _ in $(seq 1 80); do
      size=$(size_of_jalv)
      [ "$size" = "$1" ] && { echo "jalv's window is $size $2"; return 0; }
      sleep 0.25
    done
    echo "error: jalv's window is $size $2, not $1" >&2
    cat "$scratch/jalv.log" >&2
    exit 1
  }
  notches() { local n; for n in $(seq 1 20); do echo "$1"; done; }
  expect_jalv 400x378 "at 100 %"
  # The zoom percentage at the bar's top-left stays under the pointer at every zoom.
  "$pointer" "$editor" 30 13 $(notches wheel-up)
  expect_jalv 800x731 "at 200 %"
  "$pointer" "$editor" 30 13 $(notches wheel-down)
  expect_jalv 400x378 "back at 100 %"
  # The preset name's text, away from its icon, opens and closes the browser (420 x 493 points).
  "$pointer" "$editor" 356 13 click
  expect_jalv 420x518 "with the browser"
  "$pointer" "$editor" 356 13 click
  expect_jalv 400x378 "after the browser"
fi

if [ -n "$shot" ]; then
  sleep 1  # let the first repaint land
  import -window "$found" "$shot"
  echo "screenshot: $shot"
fi
