#!/usr/bin/env bash
# `make run`: Kelvara on a scratch copy of a page (the bundled sample, or
# PAGE); the page given is never touched itself. With a display it starts
# Kelvara.exe under Wine. Without one it does the desktop program's job
# headless with kelvara-cli and a demo password: protect and restore (or, for
# a protected page, restore and protect again), and shows what changed.
#
#   scripts/run.sh [PAGE]
#
# A page that the tool refuses is an outcome to show, not a failure: the run
# ends with the tool's own reason and status 0. A failed build ends with
# status 1.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
page=${1:-$top/examples/sample.htm}
# Before anything is installed or built: a typing error should cost nothing.
if [[ ! -e $page ]]; then
  echo "run: no such page: $page" >&2
  exit 1
elif [[ ! -f $page ]]; then
  echo "run: not a file: $page" >&2
  exit 1
fi
root=${BUILD_ROOT:-build}
[[ $root == /* ]] || root=$top/$root

"$top/scripts/install-deps.sh" core
"$top/scripts/build.sh" native kelvara-cli
cli=$root/native/cli/kelvara-cli
if [[ -n ${DISPLAY:-} ]]; then
  "$top/scripts/install-deps.sh" windows
  "$top/scripts/build.sh" windows Kelvara
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-run.XXXXXX")
name=$(basename "$page")
copy=$scratch/$name
cp "$page" "$copy"
echo
echo "Scratch copy of $page:"
echo "  $copy"

# Protected pages are written with exactly this title.
is_protected() { grep -q '<title>Kelvara</title>' "$1"; }
state() { if is_protected "$copy"; then echo "protected"; else echo "plain"; fi; }

if [[ -n ${DISPLAY:-} ]]; then
  dir=$root/windows
  export KELVARA_WINEPREFIX=$dir/wineprefix
  if [[ ! -f $KELVARA_WINEPREFIX/system.reg ]]; then
    echo "== creating the Wine prefix (once, about ten seconds)"
  fi
  "$top/cmake/wine-prefix.sh" setup "$KELVARA_WINEPREFIX"
  echo "== starting Kelvara.exe under Wine: type the same password into both fields"
  "$top/cmake/wine-run.sh" "$dir/app/Kelvara.exe" "Z:${copy//\//\\}" || true
  echo "Kelvara has ended; the scratch copy is now $(state): $copy"
  exit 0
fi

password=harbour-demo
echo
echo "No display here (DISPLAY is not set), so no window can open: doing the"
echo "desktop program's job headless with kelvara-cli instead."
echo "Demo password: $password"

# Runs kelvara-cli on the scratch copy, in its folder so that it prints the
# page's bare name. A refusal ends the run with the tool's reason.
kelvara() { # protect or restore
  local status=0
  (cd "$scratch" && printf '%s\n' "$password" | "$cli" "--$1" --password-stdin "$name") || status=$?
  if ((status == 1)); then
    echo
    echo "kelvara-cli refused the page and left it as it was; the reason is on the line above."
    if [[ $1 == restore ]]; then echo "(make run restores with the demo password, $password.)"; fi
    exit 1
  fi
  return "$status"
}

cp "$page" "$scratch/before.htm"
declare -A doing=([protect]=protecting [restore]=restoring)
if is_protected "$copy"; then steps=(restore protect); else steps=(protect restore); fi
for step in "${steps[@]}"; do
  echo
  echo "== ${doing[$step]}"
  kelvara "$step"
  cp "$copy" "$scratch/$step.htm"
  if [[ $step == protect ]]; then
    echo "-- head of the protected page:"
    head -n 12 "$copy" | sed 's/^/   /'
    echo "   ..."
  else
    echo "-- title: $(grep -io '<title>[^<]*</title>' "$copy" | head -1)"
  fi
done

if [[ ${steps[0]} == protect ]]; then
  # Restoring gives the author's page back byte for byte.
  echo
  if cmp -s "$scratch/before.htm" "$scratch/restore.htm"; then
    echo "-- the restored page is the page as it was, byte for byte."
  else
    echo "-- the restored page differs from the page as it was:"
    diff -u --label before.htm --label restore.htm "$scratch/before.htm" "$scratch/restore.htm" |
      head -n 40 | sed 's/^/   /' || true
  fi
fi
echo
echo "Files in $scratch:"
echo "  $name: the page after the last step; before.htm, protect.htm, restore.htm: each stage"
