#!/usr/bin/env bash
# The editor's own CPU cost in a real host: the CPU time (utime + stime of every thread) of jalv.gtk3
# showing our editor, minus that of console jalv running the same plug-in on the same input, as a share
# of one core. Both run on a private dummy JACK server (48 kHz, 256 frames) with jack_metro feeding both
# inputs a 150 ms click a second, with Compression at 6: the gain reduction swings between about 12 and
# 15 dB and the needle moves on every tick (at the default 5 these clicks barely reach the threshold).
# jalv.gtk3 shows its window on a private Xvfb. x42 darc's UI is measured the same way for reference
# (at Ratio 0.75, i.e. 4:1, as in scripts/bench-lv2.sh) when x42-plugins is installed (installed here
# when run as root; the build does not need it).
#
# What jalv.gtk3 itself spends on any embedded X11 UI (GTK's loop, its 30 Hz updates, suil's idle
# calls) is part of that difference. To tell it apart, the script also builds an empty X11 UI for our
# plug-in (a black window whose idle call reads its X events and whose port events do nothing) and
# measures jalv.gtk3 with it; it needs a C compiler with the LV2 and Xlib headers, else it is skipped.
#
# Each round runs our editor, the empty UI, our plug-in in console jalv, then darc's pair, one after
# another; the figures are medians over the rounds (differences are medians of each round's difference).
#
# Usage: scripts/editor-idle-cost.sh [BUILD_DIR]   (default build/release; the LV2 bundle is built there)
# Environment: SECONDS_PER_RUN (20), ROUNDS (3), SETTLE (3: seconds between connecting and measuring),
# BPM (60: jack_metro's clicks per minute).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
seconds=${SECONDS_PER_RUN:-20}
rounds=${ROUNDS:-3}
settle=${SETTLE:-3}
bpm=${BPM:-60}
uri=urn:quarry-tone:warmglow:stereo
controls=compression=6
darc_uri=http://gareus.org/oss/lv2/darc#stereo
darc_controls=Ratio=0.75

for tool in Xvfb jackd jack_metro jack_connect jack_lsp jack_wait jalv jalv.gtk3 xwininfo lv2info lv2ls; do
  command -v "$tool" >/dev/null || { echo "error: $tool is not installed (scripts/install-deps.sh)" >&2; exit 1; }
done
if ! dpkg-query -W -f='${Status}' x42-plugins 2>/dev/null | grep -q "install ok installed"; then
  if [ "$(id -u)" = 0 ]; then
    apt-get install -y x42-plugins >/dev/null
  else
    echo "x42-plugins is not installed (run as root to install it): darc is skipped" >&2
  fi
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target qrv_lv2_bundle >/dev/null

scratch=$(mktemp -d)
pids=()
stop() {  # stops one process we started and waits for it
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
cleanup() {
  for pid in "${pids[@]}"; do stop "$pid"; done
  rm -rf "$scratch"
}
trap cleanup EXIT

# The user's settings, presets and JACK servers stay untouched.
export HOME=$scratch XDG_CONFIG_HOME=$scratch/config USERPROFILE=$scratch
export LV2_PATH="$(realpath "$build")/lv2:/usr/lib/lv2:$scratch/lv2"

empty_ui=urn:editor-idle-cost:empty-ui
mkdir -p "$scratch/lv2/empty-ui.lv2"
cat >"$scratch/lv2/empty-ui.lv2/manifest.ttl" <<TTL
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .
<$uri> ui:ui <$empty_ui> .
<$empty_ui> a ui:X11UI ; ui:binary <empty.so> ; lv2:requiredFeature ui:idleInterface ;
  lv2:extensionData ui:idleInterface .
TTL
cat >"$scratch/empty.c" <<C
#include <X11/Xlib.h>
#include <lv2/ui/ui.h>
#include <stdlib.h>
#include <string.h>
typedef struct { Display* display; Window window; } Empty;
static LV2UI_Handle instantiate(const LV2UI_Descriptor* d, const char* plugin, const char* path,
                                LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                                const LV2_Feature* const* features) {
  Window parent = 0;
  for (int i = 0; features[i]; ++i)
    if (!strcmp(features[i]->URI, LV2_UI__parent)) parent = (Window)features[i]->data;
  Empty* e = calloc(1, sizeof *e);
  if (!e || !(e->display = XOpenDisplay(NULL))) { free(e); return NULL; }
  e->window = XCreateSimpleWindow(e->display, parent ? parent : DefaultRootWindow(e->display), 0, 0, 400, 353,
                                  0, 0, 0);
  XMapWindow(e->display, e->window);
  /* The host looks the window up on its own connection: it must exist by then. */
  XSync(e->display, False);
  *widget = (LV2UI_Widget)e->window;
  return e;
}
static void cleanup(LV2UI_Handle h) {
  Empty* e = h;
  XDestroyWindow(e->display, e->window);
  XCloseDisplay(e->display);
  free(e);
}
static void port_event(LV2UI_Handle h, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {}
static int idle(LV2UI_Handle h) {
  Empty* e = h;
  while (XPending(e->display)) { XEvent ev; XNextEvent(e->display, &ev); }
  return 0;
}
static const LV2UI_Idle_Interface idle_interface = {idle};
static const void* extension_data(const char* uri) {
  return !strcmp(uri, LV2_UI__idleInterface) ? &idle_interface : NULL;
}
static const LV2UI_Descriptor descriptor = {"$empty_ui", instantiate, cleanup, port_event, extension_data};
LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t i) { return i == 0 ? &descriptor : NULL; }
C
if ! cc -O2 -shared -fPIC -o "$scratch/lv2/empty-ui.lv2/empty.so" "$scratch/empty.c" -lX11 2>"$scratch/cc.log"; then
  echo "the empty X11 UI does not build here (it needs a C compiler, the LV2 and Xlib headers): skipped" >&2
  empty_ui=
fi

exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1024x768x24 -nolisten tcp 2>"$scratch/xvfb.log" &
pids+=($!)
read -r -t 10 -u "$displayfd" number || { echo "error: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$number

export JACK_DEFAULT_SERVER=qrv-cost-$$ JACK_NO_AUDIO_RESERVATION=1
jackd -n "$JACK_DEFAULT_SERVER" -r -d dummy -r 48000 -p 256 >"$scratch/jackd.log" 2>&1 &
pids+=($!)
jack_wait -w -t 10 >/dev/null 2>&1 || { echo "error: jackd did not start" >&2; cat "$scratch/jackd.log" >&2; exit 1; }
jack_metro -n metro -b "$bpm" -f 440 -A 0.9 -D 150 >"$scratch/metro.log" 2>&1 &
pids+=($!)
metro_port=
for _ in $(seq 1 40); do
  metro_port=$(jack_lsp 2>/dev/null | grep -m1 '^metro:' || true)
  [ -n "$metro_port" ] && break
  sleep 0.25
done
[ -n "$metro_port" ] || { echo "error: jack_metro did not start" >&2; exit 1; }

hz=$(getconf CLK_TCK)
# utime + stime of a process (all its threads) or of one thread, in clock ticks. The name may hold
# spaces, so the fields are counted after its closing parenthesis.
cpu_ticks() { sed 's/.*) //' "$1" | awk '{print $12 + $13}'; }
percent() { awk -v t="$1" -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.2f", 100 * t / hz / s }'; }

# Starts a host (console jalv or jalv.gtk3, with the given UI if any) for a plug-in with one control
# set, under a JACK name, connects the clicks to its audio inputs, lets it settle, then measures: sets
# process_percent and thread_percent (its main thread, which runs the GTK loop and the plug-in's UI).
measure() {
  local host=$1 plugin=$2 control=$3 name=$4 ui=${5:-} pid log=$scratch/$4.log
  if [ "$host" = jalv ]; then
    # Console jalv reads commands until its input ends: a FIFO it also holds open never ends.
    mkfifo "$scratch/$name.in"
    jalv -n "$name" -c "$control" "$plugin" 0<>"$scratch/$name.in" >"$log" 2>&1 &
  else
    jalv.gtk3 --jack-name "$name" -c "$control" ${ui:+--ui-uri "$ui"} "$plugin" >"$log" 2>&1 &
  fi
  pid=$!
  pids+=("$pid")
  local inputs=
  for _ in $(seq 1 80); do
    inputs=$(jack_lsp -p "$name:" 2>/dev/null | awk '/^[^\t]/ { port = $0 } /properties: input,/ { print port }')
    [ -n "$inputs" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.25
  done
  [ -n "$inputs" ] || { echo "error: $host $plugin made no JACK inputs" >&2; cat "$log" >&2; exit 1; }
  while read -r port; do jack_connect "$metro_port" "$port"; done <<<"$inputs"
  if [ "$host" = jalv.gtk3 ]; then
    # jalv's window, titled with the plug-in's name, with the UI's own window embedded three levels down.
    local title ok= top
    title=$(lv2info "$plugin" | awk -F': *' '/^\tName:/ && !n++ { print $2 }')
    for _ in $(seq 1 80); do
      top=$(xwininfo -root -children 2>/dev/null | grep -m1 -F "\"$title\"" | awk '{ print $1 }' || true)
      if [ -n "$top" ] && xwininfo -id "$top" -tree 2>/dev/null | grep -qE '^ {11}0x'; then ok=1; break; fi
      sleep 0.25
    done
    [ -n "$ok" ] || { echo "error: jalv.gtk3 showed no UI for $plugin" >&2; cat "$log" >&2; exit 1; }
  fi
  sleep "$settle"
  local p0 t0 p1 t1
  p0=$(cpu_ticks "/proc/$pid/stat")
  t0=$(cpu_ticks "/proc/$pid/task/$pid/stat")
  sleep "$seconds"
  kill -0 "$pid" 2>/dev/null || { echo "error: $host $plugin stopped while measured" >&2; cat "$log" >&2; exit 1; }
  p1=$(cpu_ticks "/proc/$pid/stat")
  t1=$(cpu_ticks "/proc/$pid/task/$pid/stat")
  stop "$pid"
  local kept=() p
  for p in "${pids[@]}"; do
    if [ "$p" != "$pid" ]; then kept+=("$p"); fi
  done
  pids=("${kept[@]}")
  process_percent=$(percent $((p1 - p0)))
  thread_percent=$(percent $((t1 - t0)))
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
diff2() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a - b }'; }

have_darc=
grep -qxF "$darc_uri" <<<"$(lv2ls 2>/dev/null || true)" && have_darc=1

declare -a ours_gui ours_thread ours_console ours_diff empty_gui empty_diff beyond darc_gui darc_console darc_diff
echo "Measuring $rounds rounds of $seconds s each (48 kHz / 256 frames; jack_metro at $bpm bpm into every input;" \
  "$controls, darc $darc_controls)"
for r in $(seq 1 "$rounds"); do
  measure jalv.gtk3 "$uri" "$controls" "qrv-gtk-$r"
  g=$process_percent gt=$thread_percent
  line="round $r: jalv.gtk3 with our editor $g % (GUI thread $gt %)"
  if [ -n "$empty_ui" ]; then
    measure jalv.gtk3 "$uri" "$controls" "empty-gtk-$r" "$empty_ui"
    e=$process_percent
    line+=", with the empty UI $e %"
  fi
  measure jalv "$uri" "$controls" "qrv-console-$r"
  c=$process_percent
  line+=", console jalv $c %"
  ours_gui+=("$g"); ours_thread+=("$gt"); ours_console+=("$c"); ours_diff+=("$(diff2 "$g" "$c")")
  if [ -n "$empty_ui" ]; then
    empty_gui+=("$e"); empty_diff+=("$(diff2 "$e" "$c")"); beyond+=("$(diff2 "$g" "$e")")
  fi
  if [ -n "$have_darc" ]; then
    measure jalv.gtk3 "$darc_uri" "$darc_controls" "darc-gtk-$r"
    dg=$process_percent
    measure jalv "$darc_uri" "$darc_controls" "darc-console-$r"
    dc=$process_percent
    darc_gui+=("$dg"); darc_console+=("$dc"); darc_diff+=("$(diff2 "$dg" "$dc")")
    line+="; darc: jalv.gtk3 with its UI $dg %, console jalv $dc %"
  fi
  echo "$line"
done

m() { printf '%s\n' "$@" | median; }
row() { printf '  %-58s %6s\n' "$1" "$2"; }
echo
echo "Medians of $rounds rounds, % of one core:"
row "jalv.gtk3 with our editor" "$(m "${ours_gui[@]}")"
row "  its GUI thread" "$(m "${ours_thread[@]}")"
[ -n "$empty_ui" ] && row "jalv.gtk3 with an empty X11 UI" "$(m "${empty_gui[@]}")"
row "console jalv" "$(m "${ours_console[@]}")"
row "the editor's own cost (jalv.gtk3 with it - console jalv)" "$(m "${ours_diff[@]}")"
if [ -n "$empty_ui" ]; then
  row "  jalv.gtk3's own for any X11 UI (empty UI - console jalv)" "$(m "${empty_diff[@]}")"
  row "  our editor beyond that (our editor - empty UI)" "$(m "${beyond[@]}")"
fi
if [ -n "$have_darc" ]; then
  row "x42 darc: jalv.gtk3 with its UI" "$(m "${darc_gui[@]}")"
  row "x42 darc: console jalv" "$(m "${darc_console[@]}")"
  row "x42 darc: its UI's own cost (difference)" "$(m "${darc_diff[@]}")"
fi
