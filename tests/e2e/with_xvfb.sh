#!/usr/bin/env bash
# Runs a command on a virtual display of its own, and with a Wine prefix of
# its own: with_xvfb.sh COMMAND...
#
# Wine draws every window of a prefix through the desktop process that the
# prefix's first program started. Tests without windows run in the build's
# shared prefix at the same time and start it without a display, so windows
# need a prefix where they come first: a copy of the shared one (KELVARA_WINEPREFIX),
# with the big system folders hard-linked, as nothing writes to them.
set -uo pipefail
command -v Xvfb >/dev/null || { echo "missing Xvfb: run scripts/install-deps.sh gui"; exit 1; }
scratch=$(mktemp -d)
xvfb=""
private=""
cleanup() {
  [[ -n $private ]] && WINEPREFIX=$private wineserver -k 2>/dev/null
  [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [[ -s $scratch/display ]] && break; sleep 0.1; done
[[ -s $scratch/display ]] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$(cat "$scratch/display")

if [[ -n ${KELVARA_WINEPREFIX:-} && -f $KELVARA_WINEPREFIX/system.reg ]]; then
  shared=$KELVARA_WINEPREFIX
  private=$scratch/wineprefix
  mkdir -p "$private/drive_c/windows"
  # Dot files too: without .update-timestamp Wine takes the copy for an old
  # prefix and updates it on first start, alongside the test's own windows.
  shopt -s dotglob
  for entry in "$shared"/* "$shared"/drive_c/* "$shared"/drive_c/windows/*; do
    case $entry in
      # The last one names the shared prefix's server; the copy gets its own.
      "$shared/drive_c" | "$shared/drive_c/windows" | "$shared/wineserver") ;;
      "$shared"/drive_c/windows/system32 | "$shared"/drive_c/windows/syswow64 | "$shared"/drive_c/windows/winsxs)
        cp -al "$entry" "$private/${entry#"$shared"/}" ;;
      *) cp -a "$entry" "$private/${entry#"$shared"/}" ;;
    esac
  done
  export KELVARA_WINEPREFIX=$private
fi
"$@"
