#!/usr/bin/env bash
# Replays a transcript of kelvara-cli runs in a scratch folder and says where
# the tool's answers differ from it.
#
#   transcript.sh TRANSCRIPT COMMAND...
#
# COMMAND... runs the tool (the binary, or wine-run.sh and the .exe); the
# transcript calls it kelvara-cli. A transcript is a list of cases:
#
#   $ SHELL COMMAND      run by bash (pipefail) in the scratch folder, stdin empty
#   > LINE               a line that standard output must show
#   ! LINE               a line that standard error must show
#   [N]                  the exit status it must end with; 0 when not given
#
# Anything else is a comment. The outputs must match whole; CR LF line ends,
# which the Windows runtime writes, count as LF.
set -u
transcript=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
shift
work=$(mktemp -d)
trap 'chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/run"
{ printf '#!/bin/sh\nexec'; printf ' %q' "$@"; printf ' "$@"\n'; } >"$work/bin/kelvara-cli"
chmod +x "$work/bin/kelvara-cli"
export PATH=$work/bin:$PATH
cd "$work/run" || exit 1
failures=0 command="" out="" err="" status=0

replay() {
  [[ -n $command ]] || return 0
  bash -o pipefail -c "$command" <&- </dev/null >"$work/out" 2>"$work/err"
  local got=$?
  if ! diff -u --label expected --label "stdout" <(printf '%s' "$out") <(sed 's/\r$//' "$work/out") ||
    ! diff -u --label expected --label "stderr" <(printf '%s' "$err") <(sed 's/\r$//' "$work/err") ||
    [[ $got != "$status" ]]; then
    echo "FAIL (exit status $got, wanted $status): \$ $command"
    failures=$((failures + 1))
  fi
}

while IFS= read -r line; do
  case $line in
    '$ '*) replay; command=${line:2} out="" err="" status=0 ;;
    '>'*) out+=${line:2}$'\n' ;;
    '!'*) err+=${line:2}$'\n' ;;
    \[*\]) status=${line:1:-1} ;;
  esac
done <"$transcript"
replay
echo "$failures failed cases"
[[ $failures == 0 ]]
