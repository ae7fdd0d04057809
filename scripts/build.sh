#!/usr/bin/env bash
# Configures a CMake preset when needed and builds it: every make target and
# script builds through here.
#
#   scripts/build.sh [--require-test-tools] PRESET [TARGET...]    default: every target of the preset
#
# --require-test-tools (make test) makes a missing test tool fail the
# configure step rather than leave its tests out. The preset is configured
# again when that choice changes, and when a tool that the last configure
# missed is here now (cmake/KelvaraTestTools.cmake notes where it would be);
# otherwise not at all.
#
# The build folder is $BUILD_ROOT/PRESET (BUILD_ROOT defaults to build). On a
# terminal ninja shows its own one-line progress; otherwise (CI logs, pipes)
# only every tenth of the way is shown. Compiler errors always come through,
# and a failed build fails this script.
set -euo pipefail
cd "$(dirname "$0")/.."

require=OFF
[[ ${1:-} == --require-test-tools ]] && require=ON && shift
(($# >= 1)) || { echo "usage: scripts/build.sh [--require-test-tools] PRESET [TARGET...]" >&2; exit 2; }
preset=$1
shift
dir=${BUILD_ROOT:-build}/$preset

stale() {
  [[ -f $dir/build.ninja ]] && grep -sqx "KELVARA_REQUIRE_TEST_TOOLS:BOOL=$require" "$dir/CMakeCache.txt" || return 0
  [[ -f $dir/missing-test-tools ]] || return 1
  local probe
  while IFS= read -r probe; do
    if [[ $probe == */* ]]; then
      compgen -G "$probe" >/dev/null && return 0
    elif [[ -n $probe ]]; then
      command -v -- "$probe" >/dev/null && return 0
    fi
  done <"$dir/missing-test-tools"
  return 1
}
if stale; then
  echo "== configuring $preset"
  log=$(mktemp)
  cmake --preset "$preset" -B "$dir" "-DKELVARA_REQUIRE_TEST_TOOLS:BOOL=$require" >"$log" 2>&1 ||
    { cat "$log" >&2; rm -f "$log"; exit 1; }
  rm -f "$log"
fi

args=(--build "$dir")
(($# == 0)) || args+=(--target "$@")
echo "== building $preset${*:+ ($*)}"

# Ninja writes one "[done/total] ..." line per step when it is not on a
# terminal: a few hundred for a whole build. Keep every other line, so that a
# failure shows the compiler's own words. (A loop of read rather than awk:
# Debian's mawk reads a pipe in blocks and would hold the progress back.)
tenths() {
  local line finished total percent next=0
  while IFS= read -r line; do
    if [[ $line =~ ^\[([0-9]+)/([0-9]+)\]\  ]]; then
      finished=${BASH_REMATCH[1]} total=${BASH_REMATCH[2]}
      percent=$((finished * 100 / total))
      if ((finished > 0 && percent >= next)); then
        printf '   %3d%% (%d of %d steps)\n' "$percent" "$finished" "$total"
        next=$((percent - percent % 10 + 10))
      fi
    else
      printf '%s\n' "$line"
    fi
  done
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
