#!/usr/bin/env bash
# kelvara-cli.exe under Wine, interrupted by Ctrl+C (SIGINT, which Wine hands
# to the program's console handlers) at fixed moments of a folder run: the
# page in hand is finished, the run ends with Ctrl+C's status, no temporary
# file is left, and each page is the plain page, or protected with the plain
# page as its backup.
#
#   interrupt_wine.sh WINE_RUN KELVARA_CLI_EXE
set -u
run=$1 exe=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
plain=$work/plain
{ printf '<html><head><title>T</title></head><body>\r\n'; head -c 300000 /dev/zero | tr '\0' x; printf '\r\n</body></html>'; } >"$plain"
failures=0 interrupted=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }
for delay in 0 0.1 0.3 0.6; do
  site=$work/site-$delay
  mkdir "$site" && for i in $(seq 120); do cp "$plain" "$site/p$i.htm"; done
  (cd "$work" && echo pw | "$run" "$exe" --password-stdin "site-$delay" >"$work/out" 2>&1) &
  pid=$!
  # Counted from the first page done, so that the moment falls inside the
  # run however long Wine takes to start.
  for _ in $(seq 1200); do compgen -G "$site/*.original" >/dev/null && break; sleep 0.05; done
  sleep "$delay"
  # Named by this run's arguments too: other tests' command lines (the desktop
  # test's, for one) carry the same program path, and must not be hit.
  pkill -INT -f -- "$exe --password-stdin site-$delay\$" || true
  wait "$pid"
  status=$?
  # STATUS_CONTROL_C_EXIT, as far as a Linux exit status holds it; 0 when the run was done first.
  [[ $status == 58 || $status == 0 ]] || fail "delay $delay: exit status $status"
  [[ $status == 58 ]] && interrupted=$((interrupted + 1))
  for page in "$site"/*; do
    case ${page##*/} in
      *.original) cmp -s "$plain" "$page" || fail "delay $delay: $page is not the plain page" ;;
      *.htm) if [[ -e $page.original ]]; then
          grep -q '<title>Kelvara</title>' "$page" || fail "delay $delay: $page is not protected"
        else
          cmp -s "$plain" "$page" || fail "delay $delay: $page is neither plain nor protected"
        fi ;;
    esac
  done
  for hidden in "$site"/.kelvara-*; do [[ -e $hidden ]] && fail "delay $delay: $hidden left behind"; done
done
# The moments must fall inside some runs, or nothing was tried.
((interrupted > 0)) || fail "no run was interrupted"
[[ $failures == 0 ]] || { echo "$failures failed checks" && exit 1; }
