#!/usr/bin/env bash
# Installs what the build and the tests need and the machine lacks, quietly:
# nothing is downloaded when everything is already there.
#
#   scripts/install-deps.sh GROUP...
#
# Groups: core (native build, unit tests, benchmarks), windows (cross build and
# Wine), gui (virtual display and window driving), browser (Chromium and
# playwright-core), fuzz (clang's libFuzzer), dist (zip), docs (real
# documentation pages, which make bench protects to measure their size).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

declare -A packages=(
  [core]="cmake ninja-build g++ clang-format googletest libbenchmark-dev libssl-dev zlib1g-dev time acl attr"
  [windows]="g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev wine wine64"
  [gui]="xvfb xdotool x11-utils imagemagick"
  [browser]="chromium"
  [fuzz]="clang libclang-rt-14-dev llvm"
  [dist]="zip"
  [docs]="nodejs-doc python3-doc"
)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
want_browser=0
for group in "$@"; do
  [[ -v packages[$group] ]] || { echo "install-deps: unknown group '$group'" >&2; exit 2; }
  for pkg in ${packages[$group]}; do
    installed "$pkg" || missing+=("$pkg")
  done
  [[ $group == browser ]] && want_browser=1
done
# node runs the browser test (configuring the test run requires it), npm installs its packages.
if [[ $want_browser == 1 ]] && ! { command -v node && command -v npm; } >/dev/null 2>&1; then
  missing+=(nodejs npm)
fi

as_root() {
  if [[ $(id -u) == 0 ]]; then "$@"; else sudo "$@"; fi
}

if (( ${#missing[@]} )); then
  echo "Installing: ${missing[*]}"
  log=$(mktemp)
  if ! { as_root apt-get update -qq &&
         DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
    tail -20 "$log" >&2
    echo "install-deps: apt-get failed (log: $log)" >&2
    exit 1
  fi
  rm -f "$log"
fi

# The browser test's npm packages, exactly as locked; again whenever the lock
# file is newer than the last install (npm ci records that install inside
# node_modules).
browser_dir=$top/tests/browser
if [[ $want_browser == 1 && -f $browser_dir/package-lock.json ]] &&
   [[ ! $browser_dir/node_modules/.package-lock.json -nt $browser_dir/package-lock.json ]]; then
  echo "Installing: playwright-core (npm)"
  log=$(mktemp)
  if ! (cd "$browser_dir" && npm ci --no-audit --no-fund --loglevel=error) >"$log" 2>&1; then
    tail -20 "$log" >&2
    echo "install-deps: npm ci failed in tests/browser (log: $log)" >&2
    exit 1
  fi
  rm -f "$log"
fi
exit 0
