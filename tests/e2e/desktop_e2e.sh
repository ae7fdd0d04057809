#!/usr/bin/env bash
# Kelvara.exe under Wine on a virtual display (with_xvfb.sh makes a private
# one, with a Wine prefix of its own), used as a person uses it: xdotool
# clicks into the fields and types. It checks what only the whole program
# shows, the files and the exit status; the dialog's texts and colours are the
# in-process dialog tests' business. The command-line tool tells what a page
# was protected with: it restores a copy with that password. A screenshot of
# the dialog is left in OUT_DIR/kelvara-dialog.png.
#
#   desktop_e2e.sh KELVARA_EXE CLI_EXE SOURCE_DIR OUT_DIR
set -u
exe=$1 cli=$2 src=$3 out=$4 run=$3/cmake/wine-run.sh
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
cd "$work" && cp "$src/examples/sample.htm" a.htm && cp a.htm c.htm || exit 1
failures=0
check() { "$@" || { echo "FAIL: $*" && failures=$((failures + 1)); }; }
# Starts Kelvara.exe, on PAGE when one is named, and waits for the window titled TITLE.
start() { # start TITLE [PAGE]
  "$run" "$exe" ${2:+"Z:${work//\//\\}\\$2"} & pid=$!
  found "$1"
}
# Takes the window titled TITLE, waiting 60 s at most; without it nothing
# further can be checked. Searched again and again rather than with --sync:
# a window that goes while xdotool walks the tree ends that search with an
# X error, which would end the wait.
found() { # found TITLE
  local deadline=$((SECONDS + 60))
  until window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [[ -n $window ]]; do
    ((SECONDS < deadline)) || { echo "FAIL: no window titled '$1'" && exit 1; }
    sleep 0.2
  done
}
# Clicks into each field near its right end and types: a click into a prompt
# selects it, so typing replaces it; a click into the user's own text puts the
# caret where it lands (a little off the last click, lest the two make a double
# click). The fields come to hold PASSWORD at its last keystroke.
passwords() { # passwords PASSWORD
  check xdotool windowfocus --sync "$window" mousemove --window "$window" 330 60 click 1 sleep 0.3 type --delay 40 "$1"
  check xdotool mousemove --window "$window" 330 100 click 1 sleep 0.3 type --delay 40 "${1%?}"
  check xdotool mousemove --window "$window" 320 100 click 1 sleep 0.3 type --delay 40 "${1: -1}"
}
# Waits for Kelvara.exe to end by itself, 10 s at most; it must end with status 0.
finish() { timeout 10 tail --pid="$pid" -f /dev/null || kill "$pid"; check wait "$pid"; }
# Restores PAGE with PASSWORD by the command-line tool.
restores() { printf '%s\n' "$2" | "$run" "$cli" --restore --password-stdin "$1" >/dev/null; }

# A page named on the command line is protected with the password typed...
start '^ Kelvara \[' a.htm
sleep 1
check import -window "$window" "$out/kelvara-dialog.png"
passwords s3cret
finish
check cmp "$src/examples/sample.htm" a.htm.original
cp a.htm protected.htm && cp a.htm restored.htm || exit 1
check restores restored.htm s3cret
# ... and restored as the command-line tool restores it.
start '^ Kelvara \[' a.htm
passwords s3cret
finish
check cmp restored.htm a.htm
check cmp protected.htm a.htm.protected

# A refused page is left as it was, and the dialog open until it is closed.
printf '<html><body>x</body></html>' | tee b.htm >before.htm || exit 1
start '^ Kelvara \[' b.htm
passwords x
sleep 3
# Enter, Esc and a click on the surface (the web site; the prefix has no browser) end nothing.
check xdotool key Escape key Return mousemove --window "$window" 200 20 click 1 sleep 1
check kill -0 "$pid"
check xdotool windowfocus --sync "$window" key alt+F4
finish
check cmp before.htm b.htm

# A password with a character that the code page lacks, typed twice, never
# matches: the page is left alone, the dialog open.
cp a.htm.original d.htm && start '^ Kelvara \[' d.htm
passwords 'aжx'
sleep 2 && check kill -0 "$pid"
check xdotool windowfocus --sync "$window" key alt+F4
finish
check cmp a.htm.original d.htm

# With no page named, the Open dialog chooses one; the main dialog takes
# input again once the Open dialog is gone.
start 'Kelvara - Select file to encrypt/decrypt'
check xdotool windowfocus --sync "$window" type "Z:${work//\//\\}\\c.htm"
check xdotool key Return sleep 3
found '^ Kelvara \['
passwords open
finish
check restores c.htm open
check cmp restored.htm c.htm

[[ $failures == 0 ]] || { echo "$failures failed checks" && exit 1; }
