#!/usr/bin/env bash
# Builds and runs the fuzz targets (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in a build folder of their own, $BUILD_ROOT/fuzz.
#
#   fuzz/fuzz.sh test            build, then the checked-in inputs and a short run of each target
#   fuzz/fuzz.sh run [SECONDS]   build, then each target for SECONDS (default 60)
#   fuzz/fuzz.sh target BINARY_DIR NAME SECONDS
#                                one target, as the test run starts it
#
# New inputs that a run finds stay in the build folder (BINARY_DIR/corpus/NAME);
# an input that breaks a target is saved under BINARY_DIR/artifacts/NAME/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
dir=${BUILD_ROOT:-build}/fuzz

# Reports stop at the first fault and name the source lines.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}

# Runs one target for a bounded time, on the checked-in inputs and what
# earlier runs found.
run_target() {
  local binaryDir=$1 name=$2 seconds=$3
  local work=$binaryDir/corpus/$name artifacts=$binaryDir/artifacts/$name
  mkdir -p "$work" "$artifacts"
  local inputs=("$top/fuzz/corpus/$name")
  if [[ -d $top/fuzz/regressions/$name ]]; then inputs+=("$top/fuzz/regressions/$name"); fi
  "$binaryDir/fuzz_$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -dict="$top/fuzz/kelvara.dict" -artifact_prefix="$artifacts/" "$work" "${inputs[@]}"
}

case ${1:-} in
  test)
    scripts/build.sh fuzz kelvara_fuzzers
    echo "== testing fuzz"
    ctest --test-dir "$dir" -L '^fuzz$' --output-on-failure -j2 --progress
    ;;
  run)
    seconds=${2:-60}
    scripts/build.sh fuzz kelvara_fuzzers
    failed=()
    # fuzz/CMakeLists.txt holds the list of targets and writes it out.
    mapfile -t targets <"$dir/fuzz/targets.txt"
    for name in "${targets[@]}"; do
      echo "== fuzzing $name for $seconds s"
      log=$dir/fuzz/$name.log
      if run_target "$dir/fuzz" "$name" "$seconds" >"$log" 2>&1; then
        grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$log" | sed 's/^/   /' || true
      else
        tail -40 "$log"
        failed+=("$name")
      fi
    done
    if (( ${#failed[@]} )); then
      echo "Fuzzing found faults in: ${failed[*]} (inputs in $dir/fuzz/artifacts/, logs in $dir/fuzz/*.log)" >&2
      exit 1
    fi
    ;;
  target)
    [[ $# -eq 4 ]] || { echo "usage: $0 target BINARY_DIR NAME SECONDS" >&2; exit 2; }
    run_target "$2" "$3" "$4"
    ;;
  *)
    echo "usage: $0 test | run [SECONDS] | target BINARY_DIR NAME SECONDS" >&2
    exit 2
    ;;
esac
