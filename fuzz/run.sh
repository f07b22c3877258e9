#!/usr/bin/env bash
# Runs fuzz targets for a time each and prints libFuzzer's final figures:
#   bash fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
# TARGET is a name of fuzz/corpus/ (preset_r16, preset_r12, scene, dots,
# script, resources, macho); all of them when none is given. FUZZ_JOBS targets run
# at a time (default 2). Each starts from the checked-in seeds
# (fuzz/corpus/TARGET) and the corpus earlier runs grew in the build folder
# (BUILD_DIR/fuzz-corpus/TARGET), where new inputs go; logs go to
# BUILD_DIR/fuzz-logs/, crashes to BUILD_DIR/fuzz-artifacts/TARGET/.
# Exits 1 when a target found a crash or a violated property.
set -uo pipefail

build=${1:?usage: run.sh BUILD_DIR SECONDS [TARGET...]}
seconds=${2:?usage: run.sh BUILD_DIR SECONDS [TARGET...]}
shift 2
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$build" && pwd)
jobs=${FUZZ_JOBS:-2}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(preset_r16 preset_r12 scene dots script resources macho)
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

run_one() {
  local t=$1
  local program=$build/fuzz/fuzz_$t
  local corpus=$build/fuzz-corpus/$t
  local artifacts=$build/fuzz-artifacts/$t/
  local log=$build/fuzz-logs/$t.log
  local dict=$here/dict/${t%_r[0-9]*}.dict
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  local args=(-max_total_time="$seconds" -print_final_stats=1 -timeout=30 -rss_limit_mb=4096
              -artifact_prefix="$artifacts")
  [ -f "$dict" ] && args+=(-dict="$dict")
  if [ ! -x "$program" ]; then
    echo "$t: $program is not built" >"$log"
    return 1
  fi
  "$program" "${args[@]}" "$corpus" "$here/corpus/$t" >"$log" 2>&1
}

# Prints one target's figures from its log; answers its status.
report() {
  local t=$1 status=$2
  local log=$build/fuzz-logs/$t.log
  local done_line execs runs
  done_line=$(grep -a -E '^#[0-9]+[[:space:]]+(DONE|pulse|NEW|REDUCE|INITED)' "$log" | tail -n 1)
  execs=$(grep -a '^stat::average_exec_per_sec:' "$log" | awk '{print $2}')
  runs=$(grep -a '^stat::number_of_executed_units:' "$log" | awk '{print $2}')
  local cov ft corp
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$done_line")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$done_line")
  corp=$(sed -n 's/.* corp: \([^ ]*\).*/\1/p' <<<"$done_line")
  printf '%-11s %-6s runs %-9s exec/s %-6s cov %-6s ft %-7s corpus %s\n' "$t" \
    "$([ "$status" -eq 0 ] && echo ok || echo FAILED)" "${runs:-?}" "${execs:-?}" "${cov:-?}" "${ft:-?}" \
    "${corp:-?}"
  if [ "$status" -ne 0 ]; then
    grep -a -E 'PROPERTY VIOLATED|ERROR: |SUMMARY: |runtime error|is not built' -A1 "$log" | head -n 12 | sed 's/^/    /'
    grep -a -E 'Test unit written to' "$log" | sed 's/^/    /'
    echo "    log: $log"
  fi
}

declare -A pid_of status_of
running=()
failed=0
for t in "${targets[@]}"; do
  while [ ${#running[@]} -ge "$jobs" ]; do
    wait -n -p finished
    status_of[$finished]=$?
    running=($(for p in "${running[@]}"; do [ "$p" != "$finished" ] && echo "$p"; done))
  done
  run_one "$t" &
  pid_of[$t]=$!
  running+=($!)
done
for p in "${running[@]}"; do
  wait "$p"
  status_of[$p]=$?
done

echo "fuzz: ${#targets[@]} targets, $seconds s each, $jobs at a time"
for t in "${targets[@]}"; do
  s=${status_of[${pid_of[$t]}]}
  report "$t" "$s"
  [ "$s" -ne 0 ] && failed=1
done
exit $failed
