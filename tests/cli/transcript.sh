#!/usr/bin/env bash
# Replays a transcript of kelvara-cli runs in a scratch folder and says where
# the tool's answers differ from it.
#
#   transcript.sh TRANSCRIPT COMMAND...
#
# COMMAND... runs the tool (the binary, or wine-run.sh and the .exe); the
# transcript calls it kelvara-cli. A transcript is a list of cases:
#
#   $ SHELL COMMAND   run by bash (pipefail) in the scratch folder, with no input
#   < KEYS            typed on a terminal: the case runs on a pseudo-terminal of
#                     its own (script), and the keys are typed once it shows the
#                     next password prompt (one that ends "assword: " or
#                     "when done): "); a lone "<" types nothing
#   > LINE            a line that standard output (or the terminal) must show;
#                     one that ends in \ goes on in the next, with no line end;
#                     a lone ">" is an empty line
#   ! LINE            a line that standard error must show, a lone "!" an empty one
#   [N]               the exit status it must end with, 128 + N for signal N;
#                     0 when not given
#
# A line that starts with one of these characters and is none of these (a
# "$cmd" or ">text" without its space, "[x]", an output before the first
# command) is refused, with the transcript as a whole, before anything runs:
# it would drop or change a case unseen. So is a transcript without a case.
# Anything else is a comment. The outputs must match whole, with escapes such
# as \r and \\ read as printf %b reads them; a CR right before a line end (the
# terminal's, or the Windows runtime's) counts as nothing.
set -u
name=$1
transcript=$(realpath -e -- "$1") || exit 2
shift
opens='^\$ .*[^ ]' goes_on='^([<>!]( .*)?|\[[0-9]+\])$' cases=0 number=0
while IFS= read -r line; do
  number=$((number + 1))
  if [[ $line =~ $opens ]]; then
    cases=$((cases + 1))
  elif [[ $line == [\$\<\>\!\[]* ]] && ! [[ $cases != 0 && $line =~ $goes_on ]]; then
    echo "$name:$number: not a line of a case: $line" && exit 2
  fi
done <"$transcript"
((cases)) || { echo "$name: no case (no \"\$ COMMAND\" line)" && exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/run" && cd "$work/run" || exit 1
{ printf '#!/bin/sh\nexec'; printf ' %q' "$@"; printf ' "$@"\n'; } >"$work/bin/kelvara-cli"
chmod +x "$work/bin/kelvara-cli" && export PATH=$work/bin:$PATH
failures=0 command="" typed=() out="" err="" status=0

on_terminal() {
  local seen="" key
  coproc script -qfec "$command" /dev/null 2>"$work/err"
  exec {from}<&"${COPROC[0]}" {to}>&"${COPROC[1]}"
  # A run that shows nothing for 10 s waits for keys that never come: it is ended.
  while IFS= read -r -d '' -n 1 -t 10 key <&"$from" || { (($? > 128)) && kill "$!"; false; }; do
    seen+=$key
    [[ $seen == *"assword: " || $seen == *"when done): " ]] && ((${#typed[@]})) && printf '%b' "${typed[0]}" >&"$to" && typed=("${typed[@]:1}")
  done
  printf '%s' "$seen" >"$work/out"
  exec {from}<&- {to}>&-
  wait "$!"
}

replay() {
  [[ -n $command ]] || return 0
  if ((${#typed[@]})); then on_terminal; else bash -o pipefail -c "$command" </dev/null >"$work/out" 2>"$work/err"; fi
  local got=$?
  diff -u --label expected --label stdout <(printf '%b' "$out") <(sed 's/\r$//' "$work/out") &&
    diff -u --label expected --label stderr <(printf '%b' "$err") <(sed 's/\r$//' "$work/err") &&
    [[ $got == "$status" ]] || echo "FAIL $((++failures)) (exit status $got, wanted $status): \$ $command"
}

while IFS= read -r line; do
  case $line in
    '$ '*) replay; command=${line:2} typed=() out="" err="" status=0 ;;
    '<'*) typed+=("${line:2}") ;;
    '>'*\\) out+=${line:2:-1} ;;
    '>'*) out+=${line:2}'\n' ;;
    '!'*) err+=${line:2}'\n' ;;
    \[*\]) status=${line:1:-1} ;;
  esac
done <"$transcript"
replay
[[ $failures == 0 ]] || { echo "$failures failed cases" && exit 1; }
