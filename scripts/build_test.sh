#!/usr/bin/env bash
# The build helper must fail when the compiler fails, or `make test` would run
# the last good binaries and pass. It is run here on a tiny throwaway project:
# built once as it is, then again with a compile error, through a pipe and on
# a terminal (the helper builds differently on each).
set -uo pipefail
helper=$(cd "$(dirname "$0")" && pwd)/build.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-build-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

mkdir "$work/scripts"
cp "$helper" "$work/scripts/build.sh"
cat >"$work/CMakePresets.json" <<'EOF'
{ "version": 5,
  "configurePresets": [ { "name": "tiny", "generator": "Ninja", "binaryDir": "${sourceDir}/build/tiny" } ] }
EOF
cat >"$work/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.25)
project(Tiny LANGUAGES CXX)
add_executable(tiny tiny.cpp)
EOF

# Runs the helper in the given way (pipe or terminal); leaves status and out.
build() {
  if [[ $1 == terminal ]]; then
    out=$(script -qefc "$work/scripts/build.sh tiny tiny" /dev/null 2>&1)
  else
    out=$("$work/scripts/build.sh" tiny tiny 2>&1)
  fi
  status=$?
}

for way in pipe terminal; do
  echo 'int main() { return 0; }' >"$work/tiny.cpp"
  build $way
  [[ $status == 0 ]] || fail "$way: a good build exited $status: $out"

  echo '#error tiny is broken on purpose' >"$work/tiny.cpp"
  build $way
  [[ $status != 0 ]] || fail "$way: a broken build exited 0"
  [[ $out == *"tiny is broken on purpose"* ]] || fail "$way: the compiler's error is not shown: $out"
done
exit $((failures > 0))
