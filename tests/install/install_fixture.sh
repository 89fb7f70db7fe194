# Fixture verbs of the installation tests: a fresh temporary folder that is
# removed at the end (read-only parts too), failure with a reason, and the
# program started offscreen until it is up.
set -euo pipefail

tmp=$(mktemp -d "${TMPDIR:-/tmp}/kalbor-install-XXXXXX")
running=""
finish() {
  if [ -n "$running" ]; then kill "$running" 2>/dev/null || true; fi
  chmod -R u+w "$tmp" 2>/dev/null || true
  rm -rf "$tmp"
}
trap finish EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The files of a folder, one line each with size, time and mode: equal
# snapshots mean nothing was written there.
snapshot() { find "$1" -printf '%P %s %T@ %m\n' | sort; }

# start_until_up PROGRAM FOLDER: starts PROGRAM on Qt's offscreen platform
# and waits until it is up (it listens for a second copy and has its
# settings file in FOLDER), then ends it.
start_until_up() {
  local program=$1 folder=$2 sockets="$tmp/sockets"
  rm -rf "$sockets" && mkdir -p "$sockets"
  TMPDIR="$sockets" QT_QPA_PLATFORM=offscreen "$program" >"$tmp/program.log" 2>&1 &
  running=$!
  for _ in $(seq 600); do
    if [ -n "$(ls -A "$sockets")" ] && [ -f "$folder/KALBOR.INI" ]; then break; fi
    kill -0 "$running" 2>/dev/null || fail "$program ended at start: $(cat "$tmp/program.log")"
    sleep 0.05
  done
  [ -n "$(ls -A "$sockets")" ] && [ -f "$folder/KALBOR.INI" ] ||
    fail "$program did not come up with its files in $folder"
  sleep 0.5
  kill -0 "$running" 2>/dev/null || fail "$program ended: $(cat "$tmp/program.log")"
  kill "$running"
  wait "$running" 2>/dev/null || true
  running=""
}
