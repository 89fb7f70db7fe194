#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (preset "sanitize", Debug) and runs the whole test suite under them.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize -- -j2
# Leaks count as failures; UB stops the program (-fno-sanitize-recover).
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --preset sanitize -j2
