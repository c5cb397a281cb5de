#!/usr/bin/env bash
# Compares what this work tree builds with what REF (default: main) builds, for a change meant to keep
# behaviour as it is:
#   - renders of every factory preset through `warmglow render` (mono and stereo, 44.1 and 96 kHz, float),
#     the generated programmes themselves, and the CLI's help and preset listing;
#   - the LV2 state each plug-in saves (the 'All ' chunk, the other A/B slot, the active slot), fresh and
#     after each factory preset, written by scripts/state-chunks.c through the plug-in's state interface;
#   - the artwork PNGs (`warmglow art`);
#   - the LV2 Turtle.
# Everything but the Turtle must be byte-identical (cmp). The Turtle is compared as RDF: each file is read
# into sorted N-Triples with numbers in one form ("2.0" and "2" alike), and every triple of REF must still
# be there; what was added is listed, and the raw text diff is kept for review.
#
# Usage: scripts/compare-outputs.sh [REF]
# Output and both builds live under build/compare/; REF's source is exported there with `git archive`.
set -euo pipefail

ref=${1:-main}
root=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
work=$root/build/compare
jobs=${JOBS:-2}
mkdir -p "$work"

log() { echo "compare-outputs: $*" >&2; }

build_tree() {  # SOURCE_DIR BUILD_DIR
  cmake -S "$1" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQRV_BUILD_TESTS=OFF -DQRV_BUILD_BENCH=OFF \
    >/dev/null
  cmake --build "$2" -j "$jobs" --target warmglow qrv_lv2_bundle >"$work/build-$(basename "$2").log" 2>&1 || {
    tail -30 "$work/build-$(basename "$2").log" >&2
    return 1
  }
}

# REF's source, exported again only when REF moved.
ref_commit=$(git -C "$root" rev-parse --verify "$ref^{commit}")
if [ "$(cat "$work/ref-src.commit" 2>/dev/null)" != "$ref_commit" ]; then
  log "exporting $ref ($ref_commit)"
  rm -rf "$work/ref-src"
  mkdir -p "$work/ref-src"
  git -C "$root" archive "$ref_commit" | tar -x -C "$work/ref-src"
  echo "$ref_commit" >"$work/ref-src.commit"
fi
log "building $ref"
build_tree "$work/ref-src" "$work/ref-build"
log "building the work tree"
build_tree "$root" "$work/new-build"

tool=$work/state-chunks
cc -O1 -Wall -Werror -o "$tool" "$root/scripts/state-chunks.c" $(pkg-config --cflags --libs lilv-0 lv2)

# The same inputs for both sides, from REF's generator (the generated files are compared as well).
inputs=$work/inputs
rm -rf "$inputs"
mkdir -p "$inputs"
for rate in 44100 96000; do
  "$work/ref-build/apps/warmglow/warmglow" generate --float --rate "$rate" --seconds 4 "$inputs/stereo-$rate.wav" \
    >/dev/null
  sox "$inputs/stereo-$rate.wav" "$inputs/mono-$rate.wav" remix 1
done

produce() {  # BUILD_DIR OUT_DIR
  local build=$1 out=$2
  local wg=$build/apps/warmglow/warmglow
  rm -rf "$out"
  mkdir -p "$out/render" "$out/text" "$out/art" "$out/state" "$out/ttl"
  # No user presets or settings of this machine's user; the same (empty) folders for both sides, since the
  # preset listing names them.
  rm -rf "$work/home" "$work/config"
  mkdir -p "$work/home" "$work/config"
  export HOME=$work/home QRV_CONFIG_DIR=$work/config
  unset USERPROFILE XDG_CONFIG_HOME
  for rate in 44100 96000; do
    "$wg" generate --float --rate "$rate" --seconds 4 "$out/render/generated-$rate.wav" >/dev/null
  done
  local presets
  presets=$("$wg" presets | grep -c '^ *[0-9]' || true)
  [ "$presets" -gt 0 ] || { log "no factory presets listed by $wg"; return 1; }
  for input in "$inputs"/*.wav; do
    local name
    name=$(basename "$input" .wav)
    for ((p = 0; p < presets; ++p)); do
      "$wg" render "$input" "$out/render/$name-preset-$p.wav" --preset "$p" >/dev/null
    done
  done
  "$wg" --help >"$out/text/help.txt"
  "$wg" render --help >"$out/text/render-help.txt"
  "$wg" presets >"$out/text/presets.txt"
  "$wg" art "$out/art" >/dev/null
  cp "$build/lv2/QRV warmGlow.lv2/"*.ttl "$out/ttl/"
  LV2_PATH="$build/lv2" "$tool" urn:quarry-tone:warmglow: "$out/state"
}

log "producing outputs"
produce "$work/ref-build" "$work/ref"
produce "$work/new-build" "$work/new"

status=0
log "comparing renders, texts, state and artwork byte for byte"
for d in render text state art; do
  count=$(find "$work/ref/$d" -type f | wc -l)
  if diff -r --brief "$work/ref/$d" "$work/new/$d"; then
    echo "identical: $d ($count files)"
  else
    status=1
  fi
done

# Sorted N-Triples with decimals and integers in one form; sordi names blank nodes in reading order.
triples() {
  sordi -i turtle -o ntriples "$1" "urn:compare:" 2>/dev/null |
    sed -E 's/"(-?[0-9]+)(\.0+)?"\^\^<http:\/\/www\.w3\.org\/2001\/XMLSchema#(decimal|integer)>/NUMBER(\1)/g' |
    sort
}
log "comparing the Turtle"
: >"$work/turtle.diff"
for f in "$work/ref/ttl/"*.ttl; do
  name=$(basename "$f")
  triples "$f" >"$work/ref/ttl/$name.nt"
  triples "$work/new/ttl/$name" >"$work/new/ttl/$name.nt"
  removed=$(comm -23 "$work/ref/ttl/$name.nt" "$work/new/ttl/$name.nt" | wc -l)
  added=$(comm -13 "$work/ref/ttl/$name.nt" "$work/new/ttl/$name.nt" | wc -l)
  comm -13 "$work/ref/ttl/$name.nt" "$work/new/ttl/$name.nt" >"$work/new/ttl/$name.added"
  diff -u "$f" "$work/new/ttl/$name" >>"$work/turtle.diff" || true
  if [ "$removed" -ne 0 ]; then
    echo "CHANGED: $name: $removed triples of $ref are gone:"
    comm -23 "$work/ref/ttl/$name.nt" "$work/new/ttl/$name.nt" | head -20
    status=1
  else
    echo "kept: $name (every triple of $ref kept; $added added, listed in build/compare/new/ttl/$name.added)"
  fi
done
echo "text diff of the Turtle: build/compare/turtle.diff"
[ "$status" -eq 0 ] && echo "compare-outputs: identical" || echo "compare-outputs: DIFFERENT"
exit "$status"
