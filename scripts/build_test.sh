#!/usr/bin/env bash
# The build and test plumbing must fail when something is wrong, or `make
# test` would pass by accident: on the last good binaries, on a build whose
# tests a missing tool left out, or on a transcript it misread. It is run here
# on a tiny throwaway project with the project's presets, build helper and
# test-tool notes: broken on purpose (through a pipe and on a terminal, which
# the helper builds differently), without its test's tool, then with it.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-build-test.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# The presets' own folders, whatever BUILD_ROOT the real builds use.
unset BUILD_ROOT

mkdir "$work/scripts" "$work/cmake" "$work/bin"
cp "$top/scripts/build.sh" "$work/scripts/"
cp "$top/cmake/KelvaraTestTools.cmake" "$work/cmake/"
cp "$top/CMakePresets.json" "$work/"
cat >"$work/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.25)
project(Tiny LANGUAGES CXX)
enable_testing()
include(cmake/KelvaraTestTools.cmake)
add_executable(tiny tiny.cpp)
find_program(TINY_TOOL kelvara-tiny-tool)
if(TINY_TOOL)
  add_test(NAME tool COMMAND ${TINY_TOOL})
else()
  kelvara_missing_test_tool(kelvara-tiny-tool tinygroup "its test is left out" kelvara-tiny-tool)
endif()
EOF
export PATH=$work/bin:$PATH

# Runs the helper through a pipe or on a terminal, or ctest; leaves status and out.
build() { # build pipe|terminal HELPER-ARGUMENT...
  local way=$1 && shift
  if [[ $way == terminal ]]; then out=$(script -qefc "$work/scripts/build.sh $*" /dev/null 2>&1); else out=$("$work/scripts/build.sh" "$@" 2>&1); fi
  status=$?
}
tests() { out=$(cd "$work" && ctest --preset native 2>&1); status=$?; }
# check WHAT-IS-WRONG CONDITION...: the condition must hold.
check() { local wrong=$1 && shift; "$@" || fail "$wrong ($status): $out"; }
tiny() { echo "$1" >"$work/tiny.cpp"; }

tiny 'int main() { return 0; }'
build pipe --require-test-tools native tiny
check "the test run configured without its tool" [ $status != 0 ]
check "no word of the missing tool" grep -qz "kelvara-tiny-tool not found.*scripts/install-deps.sh tinygroup" <<<"$out"
for way in pipe terminal; do
  tiny 'int main() { return 0; }' && build $way native tiny
  check "$way: a good build failed" [ $status == 0 ]
  tiny '#error tiny is broken on purpose' && build $way native tiny
  check "$way: a broken build passed" [ $status != 0 ]
  check "$way: the compiler's error is not shown" grep -q "tiny is broken on purpose" <<<"$out"
done
tiny 'int main() { return 0; }' && tests
check "ctest passed a build without tests" [ $status != 0 ]
build pipe native tiny
check "configured again though nothing changed" [ $status == 0 -a "${out/== configuring/}" == "$out" ]
printf '#!/bin/sh\n' >"$work/bin/kelvara-tiny-tool" && chmod +x "$work/bin/kelvara-tiny-tool"
build pipe native tiny
check "not configured again once the tool is there" [ $status == 0 -a "${out/== configuring/}" != "$out" ]
tests
check "the tool's test is not run" grep -q "0 tests failed out of 1" <<<"$out"
build pipe --require-test-tools native tiny
check "not configured again for the test run" [ $status == 0 -a "${out/== configuring/}" != "$out" ]

# The transcript runner: WANT|TRANSCRIPT (printf %b), WANT "pass" or what it must say.
while IFS='|' read -r want transcript; do
  printf '%b' "$transcript" >"$work/transcript.txt"
  out=$("$top/tests/cli/transcript.sh" "$work/transcript.txt" true 2>&1)
  status=$?
  if [[ $want == pass ]]; then
    [[ $status == 0 ]] || fail "transcript $transcript: exited $status: $out"
  else
    [[ $status != 0 && $out == *"$want"* ]] || fail "transcript $transcript: exited $status: $out"
  fi
done <<'EOF'
no case|
no case|Prose, and a $ inside it.\n
transcript.txt:1: not a line of a case: $cmd|$cmd\n
:2: not a line|$ true\n>text\n
:3: not a line|$ true\n[1]\n[x]\n
:1: not a line|> an output before any command\n$ true\n
pass|Prose.\n$ echo hi; echo; echo oh >&2; exit 3\n> hi\n>\n! oh\n[3]\n
EOF
exit $((failures > 0))
