# Tools that some tests need and a machine may lack (node, Google Benchmark).
#
# A developer's build goes on without those tests, with a warning. The test
# run (make test, through scripts/build.sh --require-test-tools) stops
# instead: a run that quietly leaves tests out passes without them. Each tool
# missed is noted in missing-test-tools in the build folder, with where it
# would show up, so that scripts/build.sh configures again once it does.
option(KELVARA_REQUIRE_TEST_TOOLS "Fail to configure when a tool that tests need is missing" OFF)
set(KELVARA_MISSING_TEST_TOOLS ${CMAKE_BINARY_DIR}/missing-test-tools)
file(REMOVE ${KELVARA_MISSING_TEST_TOOLS})

# kelvara_missing_test_tool(WHAT GROUP LEFT_OUT PROBE...): WHAT was not
# found, scripts/install-deps.sh GROUP installs it, and LEFT_OUT says what the
# build does without it. Each PROBE is a program's name (looked for on PATH)
# or a path pattern with a slash (a file that the tool brings).
function(kelvara_missing_test_tool what group left_out)
  list(JOIN ARGN "\n" probes)
  file(APPEND ${KELVARA_MISSING_TEST_TOOLS} "${probes}\n")
  if(KELVARA_REQUIRE_TEST_TOOLS)
    message(FATAL_ERROR "${what} not found, and the test run needs it (${left_out} without it). "
                        "Install it with: scripts/install-deps.sh ${group}")
  endif()
  message(WARNING "${what} not found: ${left_out} (scripts/install-deps.sh ${group})")
endfunction()
