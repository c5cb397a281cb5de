#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, asking apt only for
# what is missing, so a second run costs nothing.
set -euo pipefail

packages=(
  # toolchain and test frameworks
  cmake ninja-build g++ pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # audio files, drawing, text, windows
  libsndfile1-dev libcairo2-dev libpango1.0-dev libx11-dev libxtst-dev
  fonts-liberation2 fonts-comic-neue fonts-urw-base35
  # real X server for window tests
  xvfb xauth
  # LV2 headers, host library, tools and validators
  lv2-dev liblilv-dev lilv-utils sordi
  # scripts/compare-outputs.sh: mono and resampled inputs
  sox
  # an LV2 host that embeds the X11 UI, its JACK server, window listing and screenshots
  jalv jackd2 x11-utils imagemagick
  # the tests' GTK 2 host, which embeds the X11 UI through suil as Ardour does
  libsuil-dev libgtk2.0-dev
  # the manual (Markdown to HTML), the man pages (made from --help by a Python script) and their test
  cmark-gfm python3 man-db
  # `warmglow live`: the JACK client library and headers
  libjack-jackd2-dev
  # a VST3 host nobody here wrote: Ardour's VST3 scanner lists the VST3 plug-ins
  ardour
  # Windows: the mingw-w64 cross compiler (posix threads), Wine to run its tests, GoogleTest's sources
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine googletest
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "error: packages missing (${missing[*]}) and neither root nor sudo available" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
