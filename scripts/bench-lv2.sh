#!/usr/bin/env bash
# Per-frame cost of the QRV warmGlow LV2 plug-ins beside peer compressors installed on this machine,
# measured in one run by the same lilv host over the same programme material (median of several rounds).
# Peers are optional; install them for a comparison, e.g. `apt-get install x42-plugins zam-plugins`.
#
# Usage: scripts/bench-lv2.sh [BUILD_DIR]   (default build/release; the bundle is built there first)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
block="${BLOCK:-256}"
frames="${FRAMES:-960000}"
rounds="${ROUNDS:-9}"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target qrv_lv2_bundle qrv_lv2_bench >/dev/null

export LV2_PATH="$PWD/$build/lv2:/usr/lib/lv2"
ours=(urn:quarry-tone:warmglow:mono urn:quarry-tone:warmglow:stereo)
peers=(
  "http://gareus.org/oss/lv2/darc#mono"    # x42-plugins
  "http://gareus.org/oss/lv2/darc#stereo"
  urn:zamaudio:ZamComp                     # zam-plugins
  urn:zamaudio:ZamCompX2
  http://calf.sourceforge.net/plugins/Compressor   # calf-plugins
  http://lsp-plug.in/plugins/lv2/compressor_stereo # lsp-plugins-lv2
)
installed="$(lv2ls 2>/dev/null || true)"
present=()
for uri in "${peers[@]}"; do
  if grep -qxF "$uri" <<<"$installed"; then present+=("$uri"); else echo "not installed, skipped: $uri" >&2; fi
done

"$build/tests/lv2/qrv_lv2_bench" -b "$block" -n "$frames" -r "$rounds" "${ours[@]}" "${present[@]}"

# Cross-check with lilv's own lv2bench (silence in, no options feature: plug-ins that need it are skipped).
if command -v lv2bench >/dev/null; then
  echo "# lv2bench -b $block -n $frames (seconds for all frames)"
  for uri in "${ours[@]}" "${present[@]}"; do
    lv2bench -b "$block" -n "$frames" "$uri" 2>/dev/null | grep -v '^#' || true
  done
fi
