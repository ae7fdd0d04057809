#!/usr/bin/env bash
# Runs a command on a virtual display of its own, and with a Wine prefix of
# its own: with_xvfb.sh COMMAND...
#
# Wine draws every window of a prefix through the desktop process that the
# prefix's first program started. Tests without windows run in the build's
# shared prefix at the same time and start it without a display, so windows
# need a prefix where they come first: a copy of the shared one
# (KELVARA_WINEPREFIX), with the big system folders hard-linked, as nothing
# writes to them. The display number comes from Xvfb itself (-displayfd), so
# that tests started side by side never pick the same one.
set -u
command -v Xvfb >/dev/null || { echo "missing Xvfb: run scripts/install-deps.sh gui"; exit 1; }
scratch=$(mktemp -d) || exit 1
trap 'WINEPREFIX=$scratch/prefix wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null; rm -rf "$scratch"' EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" >"$scratch/xvfb.log" 2>&1 & xvfb=$!
# Xvfb writes its display's number, and a line end, once it takes clients. On
# a machine busy with other builds that has taken more than 10 s: it is given
# 120 s, as long as it runs, and the command never runs without a display.
display=""
for _ in $(seq 1200); do
  read -r display 2>/dev/null <"$scratch/display" && [[ $display =~ ^[0-9]+$ ]] && break
  display=""
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
if [[ -z $display ]]; then
  echo "with_xvfb.sh: Xvfb gave no display ($(kill -0 "$xvfb" 2>/dev/null && echo 'still starting after 120 s' || echo 'it ended')); its output:"
  cat "$scratch/xvfb.log"
  exit 1
fi
export DISPLAY=:$display
if [[ -f ${KELVARA_WINEPREFIX:-}/system.reg ]]; then
  # Dot files too: without .update-timestamp Wine takes the copy for an old
  # prefix and updates it on first start, alongside the test's own windows.
  # "wineserver" names the shared prefix's server; the copy gets its own.
  shopt -s dotglob
  mkdir -p "$scratch/prefix/drive_c/windows" || exit 1
  for entry in "$KELVARA_WINEPREFIX"/{*,drive_c/*,drive_c/windows/*}; do
    case ${entry#"$KELVARA_WINEPREFIX"/} in
      drive_c | drive_c/windows | wineserver) ;;
      drive_c/windows/system32 | drive_c/windows/syswow64 | drive_c/windows/winsxs) cp -al "$entry" "$scratch/prefix/${entry#"$KELVARA_WINEPREFIX"/}" ;;
      *) cp -a "$entry" "$scratch/prefix/${entry#"$KELVARA_WINEPREFIX"/}" ;;
    esac || { echo "with_xvfb.sh: cannot copy the Wine prefix's $entry"; exit 1; }
  done
  export KELVARA_WINEPREFIX=$scratch/prefix
fi
"$@"
