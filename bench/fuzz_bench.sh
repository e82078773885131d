#!/usr/bin/env bash
# Runs each libFuzzer target for 10^7 executions (RUNS to change) and prints, per target, the
# executions done, the time taken and the crashes found (a crash stops its target; the input
# is kept as build-fuzz/bench/TARGET-crash-*). MAX_SECONDS caps each target's time as well.
#
# The long runs use a build without AddressSanitizer (build-fuzz-fast, UBSan still on), which
# runs several times the executions a second; every input they add to the corpus is then
# replayed once under AddressSanitizer (build-fuzz), and the last column says how that went.
# ADDRESS=1 runs the long runs under AddressSanitizer instead. Targets run JOBS at a time
# (default: one per core).
# Usage: bench/fuzz_bench.sh [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-10000000}
jobs=${JOBS:-$(nproc)}
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(command_line report_parser settings level_patch h264_sps matroska_header ts_meta
  h264info_ini mux_script)

configure() {  # BUILD_DIR ADDRESS
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 -DPARVELA_FUZZ=ON \
    -DPARVELA_FUZZ_ADDRESS="$2" >/dev/null
  cmake --build "$1" -j"$(nproc)" >/dev/null
}
configure build-fuzz ON
long=build-fuzz
if [ "${ADDRESS:-0}" != 1 ]; then
  configure build-fuzz-fast OFF
  long=build-fuzz-fast
fi
fuzz/make_corpus.sh build-fuzz/corpus "$PWD/build/app"
mkdir -p build-fuzz/bench

# One target: the long run, then the replay of its corpus under AddressSanitizer.
run_target() {
  local target=$1 log=build-fuzz/bench/$1.log limit=() status=0 replay
  rm -f build-fuzz/bench/"$target"-*
  [ -n "${MAX_SECONDS:-}" ] && limit=(-max_total_time="$MAX_SECONDS")
  # Inputs longer than what a reader looks at only cost time.
  case $target in
    level_patch) limit+=(-max_len=6100) ;;
    matroska_header) limit+=(-max_len=8192) ;;
  esac
  local start end executed crashes
  start=$(date +%s.%N)
  "$long"/fuzz/"${target}"_fuzz -runs="$runs" "${limit[@]}" -print_final_stats=1 \
    -artifact_prefix=build-fuzz/bench/"$target"- build-fuzz/corpus/"$target" >"$log" 2>&1 || status=$?
  end=$(date +%s.%N)
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  crashes=$(find build-fuzz/bench -name "$target-*" | wc -l)
  [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ] && crashes="exit $status"
  replay="same build"
  if [ "$long" != build-fuzz ]; then
    if build-fuzz/fuzz/"${target}"_fuzz -runs=0 -artifact_prefix=build-fuzz/bench/"$target"-asan- \
        build-fuzz/corpus/"$target" >"build-fuzz/bench/$target.asan.log" 2>&1; then
      replay="$(find build-fuzz/corpus/"$target" -type f | wc -l) inputs, no report"
    else
      replay="REPORT: build-fuzz/bench/$target.asan.log"
    fi
  fi
  printf '%-16s %12s %10.0f %8s   %s\n' "$target" "${executed:-?}" \
    "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" "$crashes" "$replay"
}

printf '%-16s %12s %10s %8s   %s\n' target executions seconds crashes "replayed under ASan"
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  run_target "$target" &
done
wait
