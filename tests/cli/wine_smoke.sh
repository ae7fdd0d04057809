#!/usr/bin/env bash
# Smoke test of kelvara-cli.exe under Wine: a page protected and restored with
# the password on standard input, a folder walk that skips the backups and
# the links to folders, a forced mode's refusal and the exit status of usage
# errors.
#
#   wine_smoke.sh WINE_RUN KELVARA_CLI_EXE
set -u
run=$1
exe=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() {
  echo "FAIL $*" >&2
  failures=$((failures + 1))
}
check() {  # what, expected, actual
  [[ "$2" == "$3" ]] || fail "$(printf '%s\n  expected: %q\n  actual:   %q' "$1" "$2" "$3")"
}
# Runs the tool with $1 as standard input; leaves status, out and err (CR LF
# line ends of the Windows runtime's text mode read as LF).
cli() {
  local input=$1
  shift
  printf '%s' "$input" > in.txt
  "$run" "$exe" "$@" < in.txt > out.txt 2> err.txt
  status=$?
  out=$(tr -d '\r' < out.txt)
  err=$(tr -d '\r' < err.txt)
}

mkdir -p site/sub
page=$'<html>\r\n<head>\r\n<title>Home</title>\r\n</head>\r\n<body>\r\nHello\r\n</body>\r\n</html>\r\n'
printf '%s' "$page" > site/a.htm
printf '%s' "$page" > site/sub/B.HTML
printf '%s' "$page" > top.htm
# Wine shows a link to a folder as a reparse point, which the walk does not follow.
mkdir other
printf '%s' "$page" > other/o.htm
ln -s ../other site/out

cli $'pass word\n' --password-stdin site top.htm
check "protect status" 0 "$status"
check "protect output" $'site\\a.htm: File is now protected by Kelvara\nsite\\sub\\B.HTML: File is now protected by Kelvara\ntop.htm: File is now protected by Kelvara' "$out"
check "protect stderr" "3 protected, 0 restored, 0 refused" "$err"
grep -q '<title>Kelvara</title>' site/a.htm || fail "site/a.htm is not protected"
cmp -s site/a.htm.original <(printf '%s' "$page") || fail "site/a.htm.original is not the plain page"

# Three spellings of one page, and the backups beside the pages, give one restore each.
cli $'pass word\r\n' --password-stdin site/a.htm ./site/a.htm 'site\a.htm' site
check "restore status" 0 "$status"
check "restore output" $'site/a.htm: File back to normal (no protection)\nsite\\sub\\B.HTML: File back to normal (no protection)' "$out"
grep -q '<title>Home</title>' site/a.htm || fail "site/a.htm is not restored"

cli $'pw\n' --password-stdin --restore site/a.htm
check "forced restore status" 1 "$status"
check "forced restore output" "site/a.htm: File is not protected by Kelvara." "$out"

# A link to a page stays a link, and the page it names is protected.
printf '%s' "$page" > real.htm
ln -s real.htm link.htm
cli $'pw\n' --password-stdin link.htm
check "link status" 0 "$status"
[[ -L link.htm ]] || fail "link.htm is no longer a link"
grep -q '<title>Kelvara</title>' real.htm || fail "real.htm, the link's target, is not protected"
cmp -s link.htm.original <(printf '%s' "$page") || fail "link.htm.original is not the plain page"

cli $'pw\n' --password-stdin site/missing.htm
check "missing path status" 2 "$status"
check "missing path stderr" $'kelvara-cli: site/missing.htm: no such file or folder\nusage: kelvara-cli [--protect | --restore] [--password-stdin] PATH...\nTry \'kelvara-cli --help\'.' "$err"

cli "" site/a.htm
check "no terminal status" 2 "$status"
check "no terminal stderr" "kelvara-cli: no terminal to ask the password on; use --password-stdin" "${err%%$'\n'*}"

exit $((failures > 0))
