#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, from its
# committed seeds, and prints what each did. New inputs go to
# BUILD/corpus/NAME (the committed seeds stay as they are), crashes to
# BUILD/artifacts/. Exits non-zero when a target found a fault.
# Usage: run-fuzzers.sh BUILD_DIR SECONDS_PER_TARGET
set -uo pipefail
build=${1:-build/fuzz}
seconds=${2:-60}
root="$(cd "$(dirname "$0")/.." && pwd)"
status=0
printf '%-10s %12s %10s %8s %s\n' target executions per-second corpus result
for binary in "$build"/fuzz/fuzz_*; do
  name=${binary##*/fuzz_}
  corpus="$build/corpus/$name"
  mkdir -p "$corpus" "$build/artifacts"
  dict=()
  [ -f "$root/fuzz/$name.dict" ] && dict=(-dict="$root/fuzz/$name.dict")
  log="$build/fuzz-$name.log"
  "$binary" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    "${dict[@]}" -artifact_prefix="$build/artifacts/$name-" \
    "$corpus" "$root/fuzz/corpus/$name" >"$log" 2>&1
  code=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  size=$(ls "$corpus" | wc -l)
  result=ok
  if [ $code -ne 0 ]; then result="FAILED (see $log)"; status=1; fi
  printf '%-10s %12s %10s %8s %s\n' "$name" "${runs:-?}" "${rate:-?}" "$size" "$result"
done
exit $status
