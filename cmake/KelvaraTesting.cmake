# Registers GoogleTest binaries with CTest, and the build helper's test.
#
# Natively every test case is its own CTest test, so that they run in
# parallel and fail one by one. In the cross build each binary is one test
# run under Wine (a Wine start costs about a second), inside a prefix that a
# fixture creates once in the build folder.
include(GoogleTest)
include(${CMAKE_CURRENT_LIST_DIR}/KelvaraTestTools.cmake)

if(CMAKE_CROSSCOMPILING)
  set(KELVARA_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix)
  add_test(NAME wine_prefix_setup
           COMMAND ${PROJECT_SOURCE_DIR}/cmake/wine-prefix.sh setup ${KELVARA_WINEPREFIX})
  set_tests_properties(wine_prefix_setup PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  add_test(NAME wine_prefix_cleanup
           COMMAND ${PROJECT_SOURCE_DIR}/cmake/wine-prefix.sh cleanup ${KELVARA_WINEPREFIX})
  set_tests_properties(wine_prefix_cleanup PROPERTIES FIXTURES_CLEANUP wine)
endif()

function(kelvara_add_gtest target)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES
      FIXTURES_REQUIRED wine
      ENVIRONMENT KELVARA_WINEPREFIX=${KELVARA_WINEPREFIX}
      TIMEOUT 600)
  else()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# The build helper that every make target goes through, checked once, in the
# native build: it must fail when the compiler fails.
if(NOT CMAKE_CROSSCOMPILING AND NOT KELVARA_SANITIZE AND NOT KELVARA_FUZZ)
  add_test(NAME build_helper COMMAND ${PROJECT_SOURCE_DIR}/scripts/build_test.sh)
  set_tests_properties(build_helper PROPERTIES TIMEOUT 300)
endif()
