#!/usr/bin/env bash
# Runs a fuzz harness once over every input of its corpus folder: the seeds
# and every input that ever made it fail. The sanitizers halt on the first
# error, which fails the run.
set -euo pipefail
harness=$1
corpus=$2
mapfile -t inputs < <(find "$corpus" -type f | sort)
if [ ${#inputs[@]} -eq 0 ]; then
  echo "no inputs in $corpus" >&2
  exit 1
fi
"$harness" -rss_limit_mb=4096 -timeout=30 "${inputs[@]}" 2>&1 | grep -v '^Running: \|^Executed ' || true
exit "${PIPESTATUS[0]}"
