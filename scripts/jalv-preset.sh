#!/usr/bin/env bash
# A factory preset picked in jalv (`jalv.gtk3 -p URI`, what its Presets menu does) shows on the preset bar
# as the bar itself shows it after loading that preset: on a private Xvfb server with a dummy JACK server,
# the bar's name field after `-p .../preset:23` ("23: Vox") is compared, pixel for pixel, with the same
# field after the bar's own next-preset arrow was clicked 23 times from "00: Default" in a second jalv; and
# it must differ from the field at start.
#
# Usage: scripts/jalv-preset.sh POINTER_TOOL LV2_PATH
#   POINTER_TOOL: the build's qrv_xpointer (real pointer input through XTest).
# Fails when Xvfb, jackd, jalv.gtk3, xwininfo or ImageMagick's import and compare are missing.
set -euo pipefail

usage="usage: jalv-preset.sh POINTER_TOOL LV2_PATH"
pointer=$(realpath "${1:?$usage}")
lv2_path=$(realpath "${2:?$usage}")
uri=urn:quarry-tone:warmglow:stereo
index=23
. "$(dirname "$0")/lib/private-session.sh"
require_tools Xvfb jackd jalv.gtk3 xwininfo import compare "$pointer"
start_session
export LV2_PATH=$lv2_path
start_xvfb
start_jack qrv-jalvp

# Starts jalv.gtk3 with the given options and sets jalv_pid and editor (the editor's 400 x 353 window).
start_jalv() {
  jalv_pid=
  for _ in $(seq 1 50); do
    jalv.gtk3 "$@" "$uri" >"$scratch/jalv.log" 2>&1 &
    jalv_pid=$!
    sleep 0.5
    kill -0 "$jalv_pid" 2>/dev/null && break
    jalv_pid=
  done
  [ -n "$jalv_pid" ] || { echo "error: jalv.gtk3 did not stay up" >&2; tail -20 "$scratch/jalv.log" >&2; exit 1; }
  pids+=("$jalv_pid")
  editor=
  for _ in $(seq 1 60); do
    local tree top
    tree=$(xwininfo -root -tree 2>/dev/null || true)
    top=$(grep -m1 '"QRV warmGlow Stereo' <<<"$tree" | awk '{print $1}' || true)
    if [ -n "$top" ]; then
      editor=$(xwininfo -id "$top" -tree 2>/dev/null | grep ' 400x353+' | tail -1 | awk '{print $1}' || true)
      [ -n "$editor" ] && break
    fi
    sleep 0.25
  done
  [ -n "$editor" ] || { echo "error: no editor window inside jalv's window" >&2; tail -20 "$scratch/jalv.log" >&2; exit 1; }
}

stop_jalv() {
  kill "$jalv_pid"
  wait "$jalv_pid" 2>/dev/null || true
  unset 'pids[${#pids[@]}-1]'
}

# The bar's name field (layout::bar::kName), once the editor has settled: two captures 0.5 s apart agree.
capture_name() {
  local out=$1 previous=$scratch/previous.png
  for _ in $(seq 1 40); do
    sleep 0.5
    import -window "$editor" -crop 238x20+128+3 +repage "$out"
    if [ -f "$previous" ] && [ "$(compare -metric AE "$out" "$previous" null: 2>&1 || true)" = 0 ]; then
      rm -f "$previous"
      return 0
    fi
    cp "$out" "$previous"
  done
  echo "error: the bar's name field did not settle" >&2
  exit 1
}

differing() { compare -metric AE -fuzz 1% "$1" "$2" null: 2>&1 || true; }

start_jalv -p "$uri:preset:$index"
capture_name "$scratch/host.png"
stop_jalv
echo "jalv loaded preset $index from its preset list"

start_jalv
capture_name "$scratch/start.png"
clicks=()
for _ in $(seq 1 "$index"); do clicks+=(click); done
# The right arrow of the nudge pair (layout::bar::kNudge), then the pointer away from the bar.
"$pointer" "$editor" 102 13 "${clicks[@]}"
"$pointer" "$editor" 200 300
capture_name "$scratch/bar.png"
echo "the bar loaded preset $index with its arrow"

# QRV_KEEP_CAPTURES=DIR keeps the three captures for a look.
[ -n "${QRV_KEEP_CAPTURES:-}" ] && cp "$scratch/host.png" "$scratch/start.png" "$scratch/bar.png" "$QRV_KEEP_CAPTURES"
start_vs_bar=$(differing "$scratch/start.png" "$scratch/bar.png")
host_vs_bar=$(differing "$scratch/host.png" "$scratch/bar.png")
if [ "$start_vs_bar" = 0 ]; then
  echo "error: the bar's name field did not change with $index clicks on its arrow" >&2
  exit 1
fi
if [ "$host_vs_bar" != 0 ]; then
  echo "error: after jalv's preset load the bar's name field differs from the bar's own load in $host_vs_bar pixels" >&2
  exit 1
fi
echo "the bar shows jalv's preset as it shows its own load of it"
