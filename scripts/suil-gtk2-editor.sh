#!/usr/bin/env bash
# Embeds the stereo plug-in's editor as Ardour does, through suil's X11-in-GTK2 wrapper in a GTK 2 window
# the user cannot resize (the build's qrv_suil_gtk2_host), on a private Xvfb server, and checks with real
# pointer input (the build's qrv_xpointer, through XTest) that the window follows the editor's size: the
# wheel over the zoom percentage takes it to 150 %, 200 % and back to 100 %, a click on the preset name
# opens the browser and another closes it. Each time the host's window is exactly the editor's size, and
# the editor's own window fills it from its top-left corner. At the end the host closes the editor and
# must end cleanly.
#
# Usage: scripts/suil-gtk2-editor.sh HOST POINTER LV2_PATH
# Fails when Xvfb or xwininfo is missing.
set -euo pipefail

usage="usage: suil-gtk2-editor.sh HOST POINTER LV2_PATH"
host=$(realpath "${1:?$usage}")
pointer=$(realpath "${2:?$usage}")
lv2_path=$(realpath "${3:?$usage}")
uri=urn:quarry-tone:warmglow:stereo
. "$(dirname "$0")/lib/private-session.sh"
require_tools Xvfb xwininfo "$host" "$pointer"
start_session
export LV2_PATH=$lv2_path
start_xvfb

# GTK and its libraries keep memory to the end; the UI's own leaks are test_lv2ui's to find.
ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 "$host" "$uri" >"$scratch/host.log" 2>&1 &
host_pid=$!
pids+=("$host_pid")

fail() {
  echo "error: $*" >&2
  xwininfo -root -tree >&2 || true
  cat "$scratch/host.log" >&2
  exit 1
}

# The host's top-level window, then the editor's 400 x 353 window somewhere inside it.
top=
for _ in $(seq 1 80); do
  top=$(awk '/^window / {print $2; exit}' "$scratch/host.log")
  [ -n "$top" ] && break
  sleep 0.25
done
[ -n "$top" ] || fail "the host showed no window"
editor=
for _ in $(seq 1 80); do
  editor=$(xwininfo -id "$top" -tree 2>/dev/null | grep ' 400x353+' | tail -1 | awk '{print $1}' || true)
  [ -n "$editor" ] && break
  sleep 0.25
done
[ -n "$editor" ] || fail "no editor window inside the host's window"
echo "the GTK 2 host shows the editor in window $top"

# "WxH+X+Y": a window's size and its place in its parent.
geometry() {
  xwininfo -id "$1" | awk '/Relative upper-left X:/ {x=$4} /Relative upper-left Y:/ {y=$4}
    /^  Width:/ {w=$2} /^  Height:/ {h=$2} END {print w "x" h "+" x "+" y}'
}
# Both windows at the editor's size, the editor at the host window's top-left corner.
expect() {
  local window= inner=
  for _ in $(seq 1 80); do
    window=$(geometry "$top")
    inner=$(geometry "$editor")
    if [ "${window%%+*}" = "$1" ] && [ "$inner" = "$1+0+0" ]; then
      echo "the host's window is $1 $2"
      return 0
    fi
    sleep 0.25
  done
  fail "the host's window is ${window%%+*} and the editor's $inner $2, not $1 and $1+0+0"
}
notches() { local n; for n in $(seq 1 "$2"); do echo "$1"; done; }

expect 400x353 "at 100 %"
# The zoom percentage at the bar's top-left stays under the pointer at every zoom; a notch is 5 %.
"$pointer" "$editor" 30 13 $(notches wheel-up 10)
expect 600x529 "at 150 %"
"$pointer" "$editor" 30 13 $(notches wheel-up 10)
expect 800x706 "at 200 %"
"$pointer" "$editor" 30 13 $(notches wheel-down 20)
expect 400x353 "back at 100 %"
# The preset name's text, away from its icon, opens and closes the browser (420 x 493 points).
"$pointer" "$editor" 356 13 click
expect 420x493 "with the browser"
"$pointer" "$editor" 356 13 click
expect 400x353 "after the browser"

# The host closes the UI through suil and ends cleanly (under a sanitizer, without a report).
kill -TERM "$host_pid"
status=0
wait "$host_pid" || status=$?
[ "$status" -eq 0 ] || fail "the host ended with status $status"
echo "the host closed the editor and ended"
