#!/bin/sh
# Creates (setup) or shuts down (cleanup) the Wine prefix of a cross build.
# Creating it once up front keeps the first test from paying for it mid-run.
set -e
action=$1
export WINEPREFIX="$2"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
case "$action" in
  setup)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      mkdir -p "$WINEPREFIX"
      wine wineboot -i >/dev/null 2>&1 || true
    fi
    wineserver -w
    test -f "$WINEPREFIX/system.reg"
    ;;
  cleanup)
    wineserver -k 2>/dev/null || true
    ;;
esac
