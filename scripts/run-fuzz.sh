#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, address and undefined-behaviour sanitizers, "fuzz" preset) and runs
# each for SECONDS (default 60). Fails on the first finding; the crashing input is kept under
# build/fuzz/artifacts/. New inputs go to build/fuzz/corpus/<target>/, the committed seeds stay untouched.
set -euo pipefail
seconds="${1:-60}"
case "$seconds" in
  ''|*[!0-9]*) echo "usage: $0 SECONDS" >&2; exit 2 ;;
esac
cd "$(dirname "$0")/.."

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target qrv_fuzzers -j "${JOBS:-$(nproc)}"

targets=(fuzz_preset_file fuzz_favorite_blob fuzz_clipboard_blob fuzz_host_state fuzz_compare_defaults fuzz_reg_file
         fuzz_lv2_state fuzz_aax_chunks fuzz_state_stream fuzz_vst3_state)
# Run only some: FUZZ_TARGETS="fuzz_lv2_state fuzz_aax_chunks" scripts/run-fuzz.sh 60
if [ -n "${FUZZ_TARGETS:-}" ]; then read -r -a targets <<<"$FUZZ_TARGETS"; fi
mkdir -p build/fuzz/artifacts
status=0
for t in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus/$t"
  echo "== $t (${seconds}s)"
  if ! ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" \
       UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
       "build/fuzz/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
         -artifact_prefix="build/fuzz/artifacts/$t-" -print_final_stats=1 \
         "build/fuzz/corpus/$t" "fuzz/corpus/$t" 2>"build/fuzz/$t.log"; then
    echo "!! $t found a problem; see build/fuzz/$t.log and build/fuzz/artifacts/" >&2
    tail -n 40 "build/fuzz/$t.log" >&2
    status=1
  else
    grep -E '^stat::number_of_executed_units|^Done' "build/fuzz/$t.log" || true
  fi
done
exit "$status"
