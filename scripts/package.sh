#!/usr/bin/env bash
# Builds the Debian package kalbor_<version>_<arch>.deb from the release
# build and prints its path. Install it with
#   sudo apt-get install ./build/release/kalbor_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -- -j2
(cd build/release && cpack -G DEB >/dev/null)
ls "$PWD"/build/release/kalbor_*.deb
