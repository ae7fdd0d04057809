#!/usr/bin/env bash
# Runs the program's main job on a scratch copy of a page.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "Kelvara: the core library is built; the programs follow."
