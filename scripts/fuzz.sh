#!/usr/bin/env bash
# A bounded fuzzing campaign: each harness of build-fuzz runs for
# FUZZ_SECONDS (default 120) seconds, FUZZ_JOBS (default 2) at a time, from
# a working corpus seeded with the tree's corpus. It prints executions,
# coverage and findings per harness; a finding's input is left in
# build-fuzz/findings/HARNESS/ and must be copied into
# tests/fuzz/corpus/HARNESS/ (as regress_WHAT) when the fault is fixed.
# FUZZ_ONLY="a b" limits the campaign to those harnesses.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
seconds=${FUZZ_SECONDS:-120}
jobs=${FUZZ_JOBS:-2}
harnesses=${FUZZ_ONLY:-$(cd "$root/tests/fuzz/corpus" && ls)}

run_one() {
  local h=$1
  local work=$build/campaign/$h findings=$build/findings/$h log=$build/campaign/$h.log
  mkdir -p "$work" "$findings"
  cp -n "$root/tests/fuzz/corpus/$h"/* "$work"/ 2>/dev/null
  "$build/tests/fuzz/${h}_fuzz" "$work" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/" >"$log" 2>&1
  local status=$?
  local execs cov found
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*')
  found=$(find "$findings" -type f | wc -l)
  printf '%-20s %10s execs  cov %6s  findings %s%s\n' "$h" "${execs:-?}" "${cov:-?}" "$found" \
    "$([ "$status" -ne 0 ] && echo "  (stopped with status $status: see $log)")"
}

echo "Fuzzing each harness for $seconds s, $jobs at a time"
for h in $harnesses; do
  [ -x "$build/tests/fuzz/${h}_fuzz" ] || { echo "$h: not built"; continue; }
  run_one "$h" &
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n; done
done
wait
