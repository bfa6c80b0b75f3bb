#!/bin/sh
# Runs one fuzz target: replays its committed seeds, then fuzzes for SECONDS on a working corpus
# kept under OUT (the seed folder is only read). Prints one line of figures and leaves it in
# OUT/reports/NAME.summary; a finding prints the sanitizer's report and fails.
# Usage: run.sh FUZZER SEEDS OUT SECONDS
set -eu
fuzzer=$1 seeds=$2 out=$3 seconds=$4
name=$(basename "$fuzzer" _fuzz)
work="$out/work/$name"
log="$out/reports/$name.log"
mkdir -p "$work" "$out/artifacts" "$out/reports"
rm -f "$out/reports/$name.summary"

set -- -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$out/artifacts/$name-"
dict="$(dirname "$0")/$name.dict"
[ -f "$dict" ] && set -- "$@" -dict="$dict"

status=0
"$fuzzer" "$@" "$work" "$seeds" >"$log" 2>&1 || status=$?

runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
replayed=$(sed -n 's/^INFO: seed corpus: files: \([0-9]*\).*/\1/p' "$log" | tail -n 1)
corpus=$(ls "$work" | wc -l)
if [ "$status" -eq 0 ]; then
    finding="no finding"
else
    finding="FINDING (exit $status), see $log and $out/artifacts/$name-*"
fi
summary="fuzz $name: ${runs:-0} executions in $seconds s, ${replayed:-0} inputs replayed first, $corpus in its working corpus, $finding"
echo "$summary" | tee "$out/reports/$name.summary"
if [ "$status" -ne 0 ]; then
    grep -A 40 -m 1 -E '^==[0-9]+==|runtime error|deadly signal|ERROR: libFuzzer' "$log" || tail -n 40 "$log"
fi
exit "$status"
