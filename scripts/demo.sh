#!/usr/bin/env bash
# The demo: synthesises a short programme, renders it through a few factory presets with plots, and
# says where everything is. Run by 'make demo' after the build, with the build folder.
#
# Usage: scripts/demo.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/release}
bin=${WARMGLOW:-$build/apps/warmglow/warmglow}
out=demo-output
if [ ! -x "$bin" ]; then
  echo "demo: $bin not found; run 'make build' first" >&2
  exit 1
fi
mkdir -p "$out"

echo "== Demo programme"
"$bin" generate "$out/programme.wav" --seconds 12

echo
echo "== Renders"
presets=("Glue Things Together" "Vox" "Make it Pump" "FastLim")
for preset in "${presets[@]}"; do
  slug=$(printf '%s' "$preset" | tr 'A-Z ' 'a-z-')
  "$bin" render "$out/programme.wav" "$out/$slug.wav" --preset "$preset" --plot "$out/$slug.png" | grep -v '^plot: '
done

echo
echo "== Files in $PWD/$out/"
echo "  programme.wav            the unprocessed programme (16-bit stereo WAV, 44.1 kHz)"
for preset in "${presets[@]}"; do
  slug=$(printf '%s' "$preset" | tr 'A-Z ' 'a-z-')
  printf '  %-24s %s\n' "$slug.wav" "rendered with \"$preset\""
  printf '  %-24s %s\n' "$slug.png" "input/output level and gain reduction over time"
done
echo
echo "== LV2 plug-in"
# Into ~/.lv2 through the install script, recorded in the manifest of `make install`'s default prefix,
# so that `make uninstall` removes it again. Where it went is read back from that manifest.
prefix=$HOME/.local
manifest=$prefix/share/qrv-warmglow/install-manifest.txt
if bash scripts/install.sh "$build" "$prefix" lv2 >/dev/null &&
   bundle=$(sed -n 's|^file\t\(.*/QRV warmGlow\.lv2\)/manifest\.ttl$|\1|p' "$manifest" | head -n 1) &&
   [ -n "$bundle" ]; then
  echo "  \"QRV warmGlow.lv2\" is installed in $(dirname -- "$bundle") (mono and stereo, 34 factory presets);"
  echo "  'make uninstall' removes it (listed in $manifest)."
  echo "  LV2 hosts in Debian 12: Ardour, jalv and Qtractor (apt install ardour jalv qtractor)."
  echo "  Ardour: Mixer strip > New Plugin > Plugin Selector, search \"warmGlow\"."
  echo "  jalv: jalv.gtk3 urn:quarry-tone:warmglow:stereo (with a running JACK server)."
  echo "  Qtractor: a track's Plugins > Add Plugin lists it under LV2."
  echo "  Files: lv2apply -i $out/programme.wav -o out.wav -c ratio 4 urn:quarry-tone:warmglow:stereo"
  echo "         (ratio 4 is 4:1: Ratio, AttackRatio, ValveLevel and Process take the step index)"
else
  echo "demo: installing the LV2 bundle into ~/.lv2 failed; see the message above" >&2
  exit 1
fi

echo
echo "Listen with e.g. 'play $out/programme.wav $out/make-it-pump.wav' (sox) or any audio player;"
echo "list every preset with '$bin presets'. 'make install' adds the CLAP plug-in (Bitwig Studio, REAPER,"
echo "Qtractor), the manual and the man pages; 'make uninstall' takes them away again."
