#!/usr/bin/env bash
# Runs every fuzz target of the build folder for the given seconds, starting
# from the seed corpus kept here; what the run learns stays in the build
# folder. Prints each target's runs and time; fails on the first finding,
# whose input is left in <build>/findings.
set -euo pipefail
build=${1:?build folder}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$build/findings"
for target in regfile format cmdline textconv; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  log="$build/$target.log"
  status=0
  "$build/${target}_fuzz" "$corpus" "$here/corpus/$target" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/$target-" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz $target: ${runs:-?} runs in ${seconds} s, corpus $(ls "$corpus" | wc -l) inputs"
  if [ "$status" -ne 0 ]; then
    grep -E "ERROR|SUMMARY|runtime error|Test unit written" "$log" || tail -20 "$log"
    exit "$status"
  fi
done
