#!/usr/bin/env bash
# The VST3 bundle in Debian 12's Ardour 7, headless: Ardour's VST3 scanner lists both plug-ins, then
# ardour7-lua (the Dummy backend, its inputs playing a sine) makes a session with a stereo track, adds
# "QRV warmGlow Stereo" to it, sets Output through the host, bypasses it, and reads the track's peak meter
# after the plug-in each time. Exits non-zero when anything is missing or wrong.
#
# Usage: scripts/ardour-vst3.sh BUNDLE   (the built "QRV warmGlow.vst3" folder)
set -euo pipefail

die() {
  echo "ardour-vst3: $*" >&2
  exit 1
}

[ $# -eq 1 ] || die "usage: scripts/ardour-vst3.sh BUNDLE"
bundle=$1
[ -f "$bundle/Contents/x86_64-linux/QRV warmGlow.so" ] || die "$bundle is not the built VST3 bundle"
scanner=
for dir in /usr/lib/ardour7 /usr/lib/ardour8; do
  [ -x "$dir/ardour-vst3-scanner" ] && scanner=$dir/ardour-vst3-scanner && break
done
[ -n "$scanner" ] || die "Ardour's ardour-vst3-scanner is missing (Debian's ardour package)"
lua=$(command -v ardour7-lua || command -v ardour8-lua || true)
[ -n "$lua" ] || die "ardour7-lua is missing (Debian's ardour package)"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/qrv-ardour-vst3.XXXXXX")
[ -n "${QRV_KEEP_SCRATCH:-}" ] || trap 'rm -rf -- "$scratch"' EXIT
export HOME=$scratch/home XDG_CACHE_HOME=$scratch/home/.cache XDG_CONFIG_HOME=$scratch/home/.config
mkdir -p "$HOME/.vst3"
# Where a user's install puts it, so that Ardour finds it on its default path.
cp -r -- "$bundle" "$HOME/.vst3/"
# Ardour takes its scan cache as stale when the module is newer, comparing whole seconds with the
# module's finer time: whole seconds, a little in the past.
find "$HOME/.vst3" -exec touch -h -d "@$(($(date +%s) - 10))" {} +

scan=$(LD_LIBRARY_PATH=$(dirname -- "$scanner") "$scanner" -v "$HOME/.vst3/QRV warmGlow.vst3" 2>&1) ||
  die "the scanner failed: $scan"
for name in "QRV warmGlow Mono" "QRV warmGlow Stereo"; do
  grep -qF "Found Plugin: $name" <<< "$scan" || die "the scanner did not list $name: $scan"
done
grep -qF 'category="Fx|Dynamics"' <<< "$scan" || die "the scanner read no Fx|Dynamics category: $scan"
echo "scanner: both plug-ins listed"

cat > "$scratch/session.lua" <<LUA
AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_device_name("Sine Wave")
local s = create_session("$scratch/session", "vst3", 48000)
if not s then print("no session") os.exit(1) end
local track = s:new_audio_track(2, 2, nil, 1, "T", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front()
track:input():audio(0):connect("system:capture_1")
track:input():audio(1):connect("system:capture_2")
track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
local p = ARDOUR.LuaAPI.new_plugin(s, "QRV warmGlow Stereo", ARDOUR.PluginType.VST3, "")
if p:isnil() then print("no plugin") os.exit(1) end
track:add_processor_by_index(p, 0, nil, true)
track:set_meter_point(ARDOUR.MeterPoint.MeterPostFader, true)
local function level()
  ARDOUR.LuaAPI.usleep(800000)
  return track:peak_meter():meter_level(0, ARDOUR.MeterType.MeterPeak)
end
print("plugin", p:to_plugininsert():plugin(0):name())
print("output", ARDOUR.LuaAPI.get_processor_param(p, 5, true))
print("level-default", level())
ARDOUR.LuaAPI.set_processor_param(p, 5, 24)
print("output", ARDOUR.LuaAPI.get_processor_param(p, 5, true))
print("level-output24", level())
ARDOUR.LuaAPI.set_processor_param(p, 7, 1)
print("level-bypassed", level())
close_session()
LUA
out=$(cd "$scratch" && timeout 120 "$lua" "$scratch/session.lua" 2>&1) || die "ardour7-lua failed: $out"
value() { awk -v key="$1" '$1 == key { print $2 }' <<< "$out" | tail -n 1; }
grep -qE '^plugin[[:space:]]+QRV warmGlow Stereo$' <<< "$out" || die "the session has no QRV warmGlow Stereo: $out"
default=$(value level-default) loud=$(value level-output24) bypassed=$(value level-bypassed)
[ -n "$default" ] && [ -n "$loud" ] && [ -n "$bypassed" ] || die "no meter readings: $out"
echo "session: peak $default dBFS at Output 4.5 dB, $loud dBFS at Output 24 dB, $bypassed dBFS bypassed"
# Output from 4.5 to 24 dB lifts the compressed sine by 19.5 dB; bypassed, the input's own level, above the
# compressed one.
awk -v d="$default" -v l="$loud" -v b="$bypassed" 'BEGIN {
  if (l - d < 18.5 || l - d > 20.5) { print "Output 24 dB moved the level by " l - d " dB, not 19.5"; exit 1 }
  if (b - d < 3) { print "bypassed is not louder than compressed (" b " vs " d ")"; exit 1 }
}' || die "the levels are wrong: $out"
echo "ardour-vst3: ok"
