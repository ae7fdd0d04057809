#!/bin/sh
# Runs a Windows program of the cross build under Wine, in the prefix kept in
# the build folder (KELVARA_WINEPREFIX, or wineprefix beside the binary's folder).
# Mono and Gecko are switched off so that no installer dialog can stall a test.
prog=$1
shift
if [ -z "$KELVARA_WINEPREFIX" ]; then
  dir=$(cd "$(dirname "$prog")" && pwd)
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  KELVARA_WINEPREFIX=$dir/wineprefix
fi
export WINEPREFIX="$KELVARA_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}mscoree,mshtml=;winebrowser.exe=d"
exec wine "$prog" "$@"
