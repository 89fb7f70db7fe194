#!/usr/bin/env bash
# Builds everything and starts the program. The program folder is
# build/release/ui: the program, its help file, the food catalogue and the
# code tables; the users' files are made there too.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -- -j2
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat <<'MSG'
Built. There is no display here, so the window cannot open. To try it
without one, run it under a virtual display (apt-get install xvfb):
  xvfb-run -a build/release/ui/kalbor
MSG
  exit 0
fi
exec build/release/ui/kalbor
