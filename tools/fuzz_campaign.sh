#!/usr/bin/env bash
# A long libFuzzer campaign over every parser of a fuzzing build (scripts/ci/30-fuzz.sh
# makes one: build/ci-fuzz), outside the test command:
#
#   tools/fuzz_campaign.sh FUZZBUILD [SECONDS [PARALLEL [TARGET...]]]
#
# Each target runs SECONDS (default 600) on its work folder (FUZZBUILD/fuzz-work/NAME,
# which keeps what it finds for the next run) and its seeds, PARALLEL (default 2) at a
# time. One line per target: executions, coverage, corpus size and crashes; a crash
# leaves its input as FUZZBUILD/fuzz-work/NAME-crash-*. Exits 1 when any target crashed.
set -uo pipefail
build=${1:?usage: tools/fuzz_campaign.sh FUZZBUILD [SECONDS [PARALLEL [TARGET...]]]}
seconds=${2:-600}
parallel=${3:-2}
shift $(($# < 3 ? $# : 3))
build=$(cd "$build" && pwd)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for exe in "$build"/bin/rd_fuzz_*; do targets+=("${exe##*/rd_fuzz_}"); done
fi
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

run() {
  local name=$1 work=$build/fuzz-work/$1
  mkdir -p "$work"
  "$build/bin/rd_fuzz_$name" -max_total_time="$seconds" -timeout=10 -max_len=4096 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work-" "$work" "$build/fuzz-seeds/$name" >"$logs/$name.log" 2>&1
  echo $? >"$logs/$name.rc"
}

running=0
for name in "${targets[@]}"; do
  [ -x "$build/bin/rd_fuzz_$name" ] || { echo "fuzz_campaign: no target rd_fuzz_$name in $build/bin" >&2; exit 2; }
  run "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

failed=0
for name in "${targets[@]}"; do
  log=$logs/$name.log
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  corp=$(sed -n 's/.* corp: \([0-9]*\/[^ ]*\).*/\1/p' <<<"$last")
  rc=$(cat "$logs/$name.rc")
  crash=no
  if [ "$rc" != 0 ]; then
    crash="YES (exit $rc)"
    failed=1
    grep -E 'ERROR: |SUMMARY: |Test unit written' "$log" | head -5 | sed 's/^/    /'
  fi
  printf '%-10s %6ss  executions %-10s cov %-6s ft %-7s corpus %-12s crash %s\n' \
    "$name" "$seconds" "${execs:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}" "$crash"
done
exit $failed
