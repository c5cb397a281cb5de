# Sourced by the scripts that try the editor in a real host: a scratch home, a private Xvfb server and,
# where the host needs one, a private dummy JACK server, all stopped again when the script exits.
#
#   require_tools TOOL...    fails naming the first one missing
#   start_session            scratch folder, clean-up on exit, the user's settings and presets untouched
#   start_xvfb               a private X server; exports DISPLAY
#   start_jack NAME          a private dummy JACK server NAME-PID; exports JACK_DEFAULT_SERVER
#   pids+=(PID)              a process to stop at exit, last started first stopped

require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "error: $tool is not installed (scripts/install-deps.sh)" >&2; exit 1; }
  done
}

# Last started, first stopped: a host leaves JACK before its server goes, the server before the display.
stop_session() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  # A client the server outlived by a moment leaves its semaphore, named after the server, behind.
  [ -n "${JACK_DEFAULT_SERVER:-}" ] && rm -f /dev/shm/jack_sem.*_"$JACK_DEFAULT_SERVER"_* /dev/shm/jack_"$JACK_DEFAULT_SERVER"_*
  rm -rf "$scratch"
}

start_session() {
  scratch=$(mktemp -d)
  pids=()
  trap stop_session EXIT
  export HOME=$scratch XDG_CONFIG_HOME=$scratch/config USERPROFILE=$scratch
}

start_xvfb() {
  local number
  exec {displayfd}<> <(:)
  Xvfb -displayfd "$displayfd" -screen 0 1024x768x24 -nolisten tcp 2>"$scratch/xvfb.log" &
  pids+=($!)
  read -r -t 10 -u "$displayfd" number || { echo "error: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=:$number
}

start_jack() {
  export JACK_DEFAULT_SERVER=$1-$$ JACK_NO_AUDIO_RESERVATION=1
  jackd -n "$JACK_DEFAULT_SERVER" -r -d dummy -r 48000 -p 256 >"$scratch/jackd.log" 2>&1 &
  pids+=($!)
}
