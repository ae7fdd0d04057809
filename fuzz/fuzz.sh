#!/usr/bin/env bash
# Builds and runs the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in a build folder of their own, $BUILD_ROOT/fuzz.
#
#   fuzz/fuzz.sh test            build, then the checked-in inputs and a short run of each target
#   fuzz/fuzz.sh run [SECONDS]   build, then each target for SECONDS (default 60)
#
# New inputs that a run finds stay in the build folder ($BUILD_ROOT/fuzz/fuzz/corpus/NAME);
# an input that breaks a target is saved under $BUILD_ROOT/fuzz/fuzz/artifacts/NAME/.
set -euo pipefail
cd "$(dirname "$0")/.."

# Reports stop at the first fault and name the source lines.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}

case ${1:-} in
  test) only=() ;;
  run) export KELVARA_FUZZ_SECONDS=${2:-60}; only=(-E '_inputs$') ;;
  *) echo "usage: $0 test | run [SECONDS]" >&2 && exit 2 ;;
esac
scripts/build.sh fuzz kelvara_fuzzers
ctest --test-dir "${BUILD_ROOT:-build}/fuzz" -L '^fuzz$' --no-tests=error --output-on-failure -j2 --progress "${only[@]}"
