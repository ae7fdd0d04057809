#!/usr/bin/env bash
# Configures (once) and builds one CMake preset: native, sanitize or windows.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1
dir=${BUILD_ROOT:-build}/$preset
if [[ ! -f $dir/build.ninja ]]; then
  log=$(mktemp)
  cmake --preset "$preset" -B "$dir" >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
  rm -f "$log"
fi
echo "== building $preset"
cmake --build "$dir" -- --quiet 2>&1 | grep -v '^\[' || true
test "${PIPESTATUS[0]}" -eq 0
