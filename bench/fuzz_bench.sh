#!/usr/bin/env bash
# Runs each libFuzzer target for 10^7 executions (RUNS to change) and prints, per target, the
# executions done, the time taken and the crashes found (a crash stops its target; the input
# is kept as build-fuzz/bench/TARGET-crash-*). MAX_SECONDS caps each target's time as well.
# Usage: bench/fuzz_bench.sh [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-10000000}
limit=()
[ -n "${MAX_SECONDS:-}" ] && limit=(-max_total_time="$MAX_SECONDS")
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(command_line report_parser settings level_patch h264_sps matroska_header ts_meta h264info_ini
  mux_script)

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 -DPARVELA_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
fuzz/make_corpus.sh build-fuzz/corpus "$PWD/build/app"
mkdir -p build-fuzz/bench

printf '%-16s %12s %10s %8s\n' target executions seconds crashes
for target in "${targets[@]}"; do
  log=build-fuzz/bench/$target.log
  rm -f build-fuzz/bench/"$target"-*
  start=$(date +%s.%N)
  status=0
  # Inputs longer than what a reader looks at only cost time.
  case $target in
    level_patch) limit+=(-max_len=6100) ;;
    matroska_header) limit+=(-max_len=8192) ;;
  esac
  build-fuzz/fuzz/"${target}"_fuzz -runs="$runs" "${limit[@]}" -print_final_stats=1 \
    -artifact_prefix=build-fuzz/bench/"$target"- build-fuzz/corpus/"$target" >"$log" 2>&1 || status=$?
  end=$(date +%s.%N)
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  crashes=$(find build-fuzz/bench -name "$target-*" | wc -l)
  [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ] && crashes="exit $status"
  printf '%-16s %12s %10.0f %8s\n' "$target" "${executed:-?}" "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" "$crashes"
done
