#!/usr/bin/env bash
# `make run`: the desktop program on a scratch copy of a page (the bundled
# sample, or PAGE). With a display it starts Kelvara.exe, under Wine on
# Linux and directly on Windows. Without one it does the same job headless
# with kelvara-cli, and says so. The page given is never touched itself.
#
#   scripts/run.sh [PAGE]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
root=${BUILD_ROOT:-build}
[[ $root == /* ]] || root=$top/$root
page=${1:-$top/examples/sample.htm}
[[ -f $page ]] || { echo "run: no such page: $page" >&2; exit 1; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-run.XXXXXX")
copy=$scratch/$(basename "$page")
cp "$page" "$copy"
echo "Scratch copy of $page:"
echo "  $copy"

case "$(uname -s)" in
  MINGW* | MSYS* | CYGWIN*) on_windows=1 ;;
  *) on_windows=0 ;;
esac

describe() { # what the scratch copy is now
  if grep -q '<title>Kelvara</title>' "$copy"; then echo "protected"; else echo "plain"; fi
}

if [[ $on_windows == 1 ]]; then
  # The native build of a Windows machine is the desktop program itself.
  "$root/native/app/Kelvara.exe" "$(cygpath -w "$copy")"
  echo "Kelvara has ended; the scratch copy is now $(describe): $copy"
  exit 0
fi

if [[ -n ${DISPLAY:-} ]]; then
  "$top/scripts/install-deps.sh" windows
  dir=$root/windows
  if [[ ! -f $dir/build.ninja ]]; then
    (cd "$top" && cmake --preset windows -B "$dir" >/dev/null)
  fi
  echo "== building Kelvara.exe"
  cmake --build "$dir" --target Kelvara -- --quiet 2>&1 | grep -v '^-- ' || true
  test "${PIPESTATUS[0]}" -eq 0
  export KELVARA_WINEPREFIX=$dir/wineprefix
  if [[ ! -f $KELVARA_WINEPREFIX/system.reg ]]; then
    echo "== creating the Wine prefix (once, about ten seconds)"
  fi
  "$top/cmake/wine-prefix.sh" setup "$KELVARA_WINEPREFIX"
  echo "== starting Kelvara.exe under Wine: type the same password into both fields"
  "$top/cmake/wine-run.sh" "$dir/app/Kelvara.exe" "Z:${copy//\//\\}" || true
  echo "Kelvara has ended; the scratch copy is now $(describe): $copy"
  exit 0
fi

cli=$root/native/cli/kelvara-cli
password=harbour-demo
echo
echo "No display here (DISPLAY is not set), so no window can open: doing the"
echo "desktop program's job headless with kelvara-cli instead."
echo "Demo password: $password"
if [[ ! -x $cli ]]; then
  cmake --build "$root/native" --target kelvara-cli -- --quiet
fi

original=$scratch/before.htm
cp "$copy" "$original"
echo
echo "== protecting"
printf '%s\n' "$password" | "$cli" --password-stdin "$copy"
cp "$copy" "$scratch/protected.htm"
echo "-- head of the protected page:"
head -n 12 "$copy" | sed 's/^/   /'
echo "   ..."

echo
echo "== restoring"
printf '%s\n' "$password" | "$cli" --password-stdin "$copy"
# A restored page has a fixed plain shape, so it is checked by what it holds:
# protected once more it must give the same protected page, blank lines aside
# (the head keeps a blank line where its title was taken out).
cp "$copy" "$scratch/restored.htm"
printf '%s\n' "$password" | "$cli" --protect --password-stdin "$copy" >/dev/null
text_lines() { tr -d '\r' <"$1" | grep -v '^[[:space:]]*$'; }
if cmp -s <(text_lines "$copy") <(text_lines "$scratch/protected.htm"); then
  echo "Match: the restored page holds the same title, head lines, body attributes"
  echo "and body text as the page had before it was protected."
  status=0
else
  echo "MISMATCH: the restored page differs from the page before protection." >&2
  status=1
fi
cp "$scratch/restored.htm" "$copy"
echo "-- title before: $(grep -io '<title>[^<]*</title>' "$original" | head -1)"
echo "-- title after:  $(grep -io '<title>[^<]*</title>' "$copy" | head -1)"
echo
echo "Files in $scratch:"
echo "  $(basename "$copy")  the restored page; before.htm, protected.htm: the other stages"
exit $status
