#!/usr/bin/env bash
# Builds everything and runs every test: the suites of the release build
# (with the installed program and the Debian package), the same suites
# under AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of
# each fuzz target.
#
#   scripts/test.sh           everything (what CI runs)
#   scripts/test.sh --quick   the release build's suites only
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -- -j2
ctest --preset release -j2
if [ "${1:-}" = "--quick" ]; then exit 0; fi
scripts/test-sanitize.sh
scripts/fuzz-smoke.sh 30
