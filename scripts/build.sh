#!/usr/bin/env bash
# Configures a CMake preset once and builds it: every make target and script
# builds through here.
#
#   scripts/build.sh PRESET [TARGET...]    default: every target of the preset
#
# The build folder is $BUILD_ROOT/PRESET (BUILD_ROOT defaults to build). On a
# terminal ninja shows its own one-line progress; otherwise (CI logs, pipes)
# only every tenth of the way is shown. Compiler errors always come through,
# and a failed build fails this script.
set -euo pipefail
cd "$(dirname "$0")/.."

(($# >= 1)) || { echo "usage: scripts/build.sh PRESET [TARGET...]" >&2; exit 2; }
preset=$1
shift
dir=${BUILD_ROOT:-build}/$preset

if [[ ! -f $dir/build.ninja ]]; then
  echo "== configuring $preset"
  log=$(mktemp)
  cmake --preset "$preset" -B "$dir" >"$log" 2>&1 || { cat "$log" >&2; rm -f "$log"; exit 1; }
  rm -f "$log"
fi

args=(--build "$dir")
(($# == 0)) || args+=(--target "$@")
echo "== building $preset${*:+ ($*)}"

# Ninja writes one "[done/total] ..." line per step when it is not on a
# terminal: a few hundred for a whole build. Keep every other line, so that a
# failure shows the compiler's own words.
tenths() {
  awk '
    /^\[[0-9]+\/[0-9]+\] / {
      split(substr($1, 2, length($1) - 2), n, "/")
      percent = int(n[1] * 100 / n[2])
      if (n[1] > 0 && percent >= next_percent) {
        printf "   %3d%% (%d of %d steps)\n", percent, n[1], n[2]
        fflush()
        next_percent = percent - percent % 10 + 10
      }
      next
    }
    { print; fflush() }'
}
if [[ -t 1 ]]; then
  build() { cmake "${args[@]}"; }
else
  # pipefail gives the pipeline cmake's status, whatever the filter does.
  build() { cmake "${args[@]}" 2>&1 | tenths; }
fi
if ! build; then
  echo "== building $preset failed" >&2
  exit 1
fi
