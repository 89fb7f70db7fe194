#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz", clang) and runs each for a
# short while over its seed corpus, one after another.
#
#   scripts/fuzz-smoke.sh [SECONDS]     SECONDS per target, default 30
#
# The seeds are valid files made by the table layer itself (kalbor-fuzz-seeds).
# New inputs found go to a scratch corpus that is thrown away; a crash stops
# the script with its input kept under build/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"

scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -- -j2 fuzz_table fuzz_index fuzz_check kalbor-fuzz-seeds

out=build/fuzz/smoke
artifacts=build/fuzz/artifacts
rm -rf "$out"
mkdir -p "$out" "$artifacts"
build/fuzz/fuzz/kalbor-fuzz-seeds "$out/seeds"

# Smaller quarantine: the same checks, less memory churn per execution.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=10}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

status=0
for target in table index check; do
  mkdir -p "$out/corpus-$target"
  echo "== fuzz_$target for ${seconds}s"
  if ! build/fuzz/fuzz/fuzz_$target -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
      "$out/corpus-$target" "$out/seeds/$target" >"$out/$target.log" 2>&1; then
    echo "fuzz_$target FAILED; the input is in $artifacts/:"
    grep -E "ERROR|SUMMARY|Test unit written" "$out/$target.log" || tail -40 "$out/$target.log"
    status=1
    continue
  fi
  grep -E "stat::number_of_executed_units|stat::new_units_added" "$out/$target.log" |
    sed "s/^/  /"
done
exit "$status"
