#!/usr/bin/env bash
# Runs Kelvara.exe under Wine on a virtual display (with_xvfb.sh makes a
# private one, with a Wine prefix of its own), on scratch copies
# of pages, and drives it from outside: the driver program (under the same
# Wine) finds the dialog by its caption and the controls by identifier, and
# xdotool types real keystrokes.
#
#   desktop_e2e.sh KELVARA_EXE DRIVER_EXE PROTECT_TOOL SOURCE_DIR OUT_DIR
#
# PROTECT_TOOL is kelvara-cli.exe (or a stand-in with the same input: the
# password on standard input, the page as the last argument). The dialog's
# screenshot is left in OUT_DIR/kelvara-dialog.png.
set -uo pipefail
exe=$1 driver_exe=$2 protect_tool=$3 src=$4 out=$5
wine_run=$src/cmake/wine-run.sh
sample=$src/examples/sample.htm

for tool in xdotool xwininfo xprop import convert wine; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-deps.sh windows gui"; exit 1; }
done

mkdir -p "$out"
work=$(mktemp -d "$out/run.XXXXXX")
failures=0
kelvara=""
ok() { echo "ok: $*"; }
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then ok "$what"; else fail "$what"; fi
}
cleanup() {
  [[ -n $kelvara ]] && kill "$kelvara" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

[[ -n ${DISPLAY:-} ]] || { echo "no display: run this through with_xvfb.sh"; exit 1; }
echo "display $DISPLAY, Wine prefix $KELVARA_WINEPREFIX"

winpath() {
  local p=${1//\//\\}
  echo "Z:$p"
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Runs the driver; its ok/FAIL lines are the checks.
driver() {
  local log bad
  log=$("$wine_run" "$driver_exe" "$@" 2>&1)
  grep -E '^(ok|FAIL):' <<<"$log"
  bad=$(grep -c '^FAIL:' <<<"$log")
  failures=$((failures + bad))
  if [[ $bad == 0 ]] && ! grep -q '^ok:' <<<"$log"; then fail "driver printed nothing: $log"; fi
}
# The same in the background, for checks that must already wait when a keystroke lands.
driver_bg() {
  driver "$@" >"$work/driver.log" &
  driver_pid=$!
  sleep 1.5 # let it find the dialog before the keystroke it waits for
}
driver_wait() {
  wait "$driver_pid"
  cat "$work/driver.log"
  failures=$((failures + $(grep -c '^FAIL:' "$work/driver.log")))
}

start_kelvara() { # start_kelvara [PAGE]
  local start
  start=$(now_ms)
  if [[ $# -gt 0 ]]; then
    "$wine_run" "$exe" "$(winpath "$1")" &
  else
    "$wine_run" "$exe" &
  fi
  kelvara=$!
  xid=""
  for _ in $(seq 600); do
    xid=$(xdotool search --onlyvisible --name '^ Kelvara \[' 2>/dev/null | head -1)
    [[ -n $xid ]] && break
    sleep 0.05
  done
  if [[ -z $xid ]]; then
    # Nothing after this could work: stop rather than wait out every check.
    fail "dialog did not appear"
    exit 1
  fi
  echo "dialog visible $(($(now_ms) - start)) ms after the process started"
}
finish_kelvara() { # waits for the process to end by itself within SECONDS
  local seconds=$1 rc
  for _ in $(seq $((seconds * 10))); do kill -0 "$kelvara" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$kelvara" 2>/dev/null; then
    fail "Kelvara.exe still running after ${seconds}s"
    kill "$kelvara"
    kelvara=""
    return
  fi
  wait "$kelvara"
  rc=$?
  kelvara=""
  check "exit code 0 (is $rc)" test "$rc" = 0
}
keys() { # keys xdotool-arguments...: real keystrokes into the dialog
  xdotool windowfocus --sync "$xid" && xdotool "$@"
}
type_text() { keys type --delay 40 "$1"; }

# Colour checks on a screenshot of the dialog's client area.
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info: 2>/dev/null; }
has_colour() { # has_colour IMAGE WxH+X+Y COLOUR: some pixel of the area has exactly that colour
  convert "$1" -crop "$2" +repage -format %c histogram:info:- 2>/dev/null | grep -qi "$3"
}

# Two protected pages of the same plain page and password differ only in the
# salt of their check line and in their seal.
same_protected() { # same_protected PAGE PAGE
  cmp <(grep -av 'VetrakCheck("\|VetrakSeal' "$1") <(grep -av 'VetrakCheck("\|VetrakSeal' "$2")
}

protect_with_tool() { # protect_with_tool PAGE PASSWORD
  printf '%s\n' "$2" | "$wine_run" "$protect_tool" --protect --password-stdin "$(winpath "$1")" >"$work/tool.log" 2>&1
  grep -q "File is now protected by Kelvara" "$work/tool.log" || fail "protect tool: $(cat "$work/tool.log")"
}

echo "== protect a page named on the command line"
mkdir -p "$work/a page" "$work/b page"
cp "$sample" "$work/a page/sample.htm"
cp "$sample" "$work/b page/sample.htm"
start_kelvara "$work/a page/sample.htm"
check "X window of the client area's size" \
  bash -c "xwininfo -id $xid | grep -q 'Width: 350' && xwininfo -id $xid | grep -q 'Height: 164'"
icons=$(xprop -id "$xid" _NET_WM_ICON 2>/dev/null | grep 'Icon (')
check "large icon 32x32" grep -q 'Icon (32 x 32)' <<<"$icons"
check "small icon 16x16" grep -q 'Icon (16 x 16)' <<<"$icons"
driver layout -- start -- text 1004 "Enter password to encrypt HTML file :" -- text 1005 "Password mismatch" \
  -- enabled 1002 -- enabled 1003 -- bounce
import -window "$xid" "$out/kelvara-dialog.png"
check "dialog background 241,245,248" test "$(pixel "$out/kelvara-dialog.png" 346 40)" = "srgb(241,245,248)"
check "match line in red" has_colour "$out/kelvara-dialog.png" 270x20+70+130 "#FF0000"
keys key Escape
keys key Return
driver alive 500 -- text 1002 "Enter password"
type_text "s3cret"
driver text 1002 "s3cret" -- text 1005 "Password mismatch"
keys key Tab
type_text "s3cre"
driver text 1003 "s3cre" -- text 1005 "Password mismatch" -- text 1002 "s3cret"
driver_bg text 1005 "Passwords match" 20000 -- text 1004 "File is now protected by Kelvara" \
  -- disabled 1002 -- disabled 1003 -- bounce -- gone 6000 1800 3000
type_text "t"
driver_wait
finish_kelvara 10
protect_with_tool "$work/b page/sample.htm" "s3cret"
check "page protected as the command-line tool protects it" same_protected "$work/a page/sample.htm" "$work/b page/sample.htm"
check "backup copy of the plain page" cmp "$sample" "$work/a page/sample.htm.original"

echo "== restore it"
cp "$work/a page/sample.htm" "$work/protected.htm"
start_kelvara "$work/a page/sample.htm"
driver text 1004 "Enter password to decrypt HTML file :"
type_text "s3cret"
keys key Tab
type_text "s3cre"
driver_bg text 1005 "Passwords match" 20000 -- text 1004 "File back to normal (no protection)" -- bounce -- gone 6000 1800 3000
type_text "t"
driver_wait
finish_kelvara 10
check "restored title" grep -q "<title>Harbour Rowing Club - members' page</title>" "$work/a page/sample.htm"
check "restored body" grep -q "boathouse door code" "$work/a page/sample.htm"
check "restored body attributes" grep -q '<body bgcolor="#FFFFF0" text="#202020">' "$work/a page/sample.htm"
check "protected page kept beside it" cmp "$work/protected.htm" "$work/a page/sample.htm.protected"

echo "== a page without a head is refused and stays on screen"
printf '<html>\r\n<title>No head</title>\r\n<body>\r\n<p>Text</p>\r\n</body>\r\n</html>\r\n' >"$work/nohead.htm"
cp "$work/nohead.htm" "$work/nohead-before.htm"
start_kelvara "$work/nohead.htm"
type_text "x"
keys key Tab
driver_bg text 1005 "Passwords match" 20000 -- text 1004 "<HEAD> </HEAD> tags missing." -- alive 2500 \
  -- bounce -- disabled 1002 -- disabled 1003
type_text "x"
driver_wait
import -window "$xid" "$work/refused.png"
check "reason in red" has_colour "$work/refused.png" 270x20+70+10 "#FF0000"
# Clicks on the dialog's surface open the web site; the prefix has no browser,
# so nothing may appear and the dialog must carry on.
windows_before=$(xdotool search --onlyvisible --name . 2>/dev/null | wc -l)
xdotool mousemove --window "$xid" 200 20 click 1 click --repeat 2 1
# The bouncing image (64 high, top between 0 and 100) always covers one of
# these points; the others are the dialog's surface.
for y in 20 70 130; do xdotool mousemove --window "$xid" 35 "$y" click 1; done
driver alive 1000 -- text 1004 "<HEAD> </HEAD> tags missing."
check "the web-site link starts no window" test "$(xdotool search --onlyvisible --name . 2>/dev/null | wc -l)" = "$windows_before"
driver close -- gone 5000
finish_kelvara 10
check "refused page unchanged" cmp "$work/nohead-before.htm" "$work/nohead.htm"

echo "== a page named by a relative path"
# Started from the page's own folder, as a user in a console would.
printf '<html>\r\n<head>\r\n<title>Here</title>\r\n</head>\r\n<body>\r\n<p>Text</p>\r\n</body>\r\n</html>\r\n' >"$work/here.htm"
(cd "$work" && exec "$wine_run" "$exe" here.htm) &
kelvara=$!
for _ in $(seq 600); do
  xid=$(xdotool search --onlyvisible --name '^ Kelvara \[' 2>/dev/null | head -1)
  [[ -n $xid ]] && break
  sleep 0.05
done
type_text "rel"
keys key Tab
driver_bg text 1005 "Passwords match" 20000 -- text 1004 "File is now protected by Kelvara"
type_text "rel"
driver_wait
finish_kelvara 10
check "relative page protected" grep -q '<title>Kelvara</title>' "$work/here.htm"

echo "== Alt+F4 while waiting for the password"
cp "$sample" "$work/closed.htm"
start_kelvara "$work/closed.htm"
driver text 1004 "Enter password to encrypt HTML file :"
keys key alt+F4
finish_kelvara 10
check "page untouched after closing" cmp "$sample" "$work/closed.htm"
check "no backup after closing" test ! -e "$work/closed.htm.original"

echo "== a page chosen in the Open dialog"
mkdir -p "$work/c" "$work/d"
cp "$sample" "$work/c/sample.htm"
cp "$sample" "$work/d/sample.htm"
start_kelvara
program_folder=$(basename "$(dirname "$exe")")
driver choose "$program_folder" "$(winpath "$work/c/sample.htm")" -- text 1004 "Enter password to encrypt HTML file :" -- start
type_text "open"
keys key Tab
driver_bg text 1005 "Passwords match" 20000 -- text 1004 "File is now protected by Kelvara" -- gone 6000 1800 3000
type_text "open"
driver_wait
finish_kelvara 10
protect_with_tool "$work/d/sample.htm" "open"
check "chosen page protected" same_protected "$work/c/sample.htm" "$work/d/sample.htm"

echo "== the Open dialog cancelled"
start_kelvara
driver cancel "$program_folder" -- gone 10000
finish_kelvara 10

echo "== $failures failed checks"
[[ $failures == 0 ]]
