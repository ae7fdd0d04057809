#!/usr/bin/env bash
# Runs a command on a virtual display of its own: with_xvfb.sh COMMAND...
set -uo pipefail
command -v Xvfb >/dev/null || { echo "missing Xvfb: run scripts/install-deps.sh gui"; exit 1; }
number=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$number"' EXIT
for _ in $(seq 100); do [[ -s $number ]] && break; sleep 0.1; done
[[ -s $number ]] || { echo "Xvfb did not start"; exit 1; }
DISPLAY=:$(cat "$number") "$@"
