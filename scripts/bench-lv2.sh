#!/usr/bin/env bash
# Per-frame cost of the QRV warmGlow LV2 plug-ins beside peer compressors, measured in one run by the same
# lilv host (medians of interleaved rounds, pinned to one core) and given as ratios to x42 darc with the
# same channel count (darc at Ratio 0.75, i.e. 4:1; every other control at its default).
# Three materials at 48 kHz, block 256: programme (drum-like bursts, a kick, a 220 Hz sine at -12 dBFS
# peak) at default settings; the sine alone with our fastest attack (x0.25, the worst case); silence.
#
# The peers are Debian packages for this comparison only (the build does not need them): x42-plugins,
# lsp-plugins-lv2, zam-plugins, calf-plugins. Missing ones are installed when we are root (or with
# INSTALL_PEERS=1 through sudo), otherwise named and skipped.
#
# Usage: scripts/bench-lv2.sh [BUILD_DIR]   (default build/release; the bundle is built there first)
# Environment: BLOCK (256), FRAMES (24064), ROUNDS (101), RATE (48000), CPU (core to pin to, 1). Many short
# rounds keep the median clear of the scheduler's time slices on a machine shared with builds.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
block="${BLOCK:-256}"
frames="${FRAMES:-24064}"
rounds="${ROUNDS:-101}"
rate="${RATE:-48000}"
cpu="${CPU:-1}"

peer_packages=(x42-plugins lsp-plugins-lv2 zam-plugins calf-plugins)
missing=()
for p in "${peer_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" = 0 ]; then
    apt-get install -y "${missing[@]}" >/dev/null
  elif [ "${INSTALL_PEERS:-0}" = 1 ]; then
    sudo apt-get install -y "${missing[@]}" >/dev/null
  else
    echo "peer packages missing (run as root or with INSTALL_PEERS=1 to install): ${missing[*]}" >&2
  fi
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target qrv_lv2_bundle qrv_lv2_bench >/dev/null

export LV2_PATH="$PWD/$build/lv2:/usr/lib/lv2"
peers=(
  "http://gareus.org/oss/lv2/darc#mono,Ratio=0.75"    # x42-plugins
  "http://gareus.org/oss/lv2/darc#stereo,Ratio=0.75"
  http://lsp-plug.in/plugins/lv2/compressor_mono      # lsp-plugins-lv2
  http://lsp-plug.in/plugins/lv2/compressor_stereo
  urn:zamaudio:ZamComp                                # zam-plugins
  urn:zamaudio:ZamCompX2
  http://calf.sourceforge.net/plugins/MonoCompressor  # calf-plugins
  http://calf.sourceforge.net/plugins/Compressor
)
installed="$(lv2ls 2>/dev/null || true)"
present=()
for p in "${peers[@]}"; do
  if grep -qxF "${p%%,*}" <<<"$installed"; then present+=("$p"); else echo "not installed, skipped: ${p%%,*}" >&2; fi
done

pin=()
if command -v taskset >/dev/null; then pin=(taskset -c "$cpu"); fi
run() { "${pin[@]}" "$build/bench/qrv_lv2_bench" -b "$block" -n "$frames" -r "$rounds" -s "$rate" "$@"; }

run -p programme urn:quarry-tone:warmglow:mono urn:quarry-tone:warmglow:stereo "${present[@]}"
echo
run -p tone urn:quarry-tone:warmglow:mono,attack_ratio=0 urn:quarry-tone:warmglow:stereo,attack_ratio=0 \
  "${present[@]}"
echo
run -p silence urn:quarry-tone:warmglow:mono urn:quarry-tone:warmglow:stereo "${present[@]}"
