# add_unit_test(name SOURCES file... [LIBS lib...] [PROGRAMS target...]
#               [DEFINITIONS definition...])
#
# A test program of the folder that calls it, linked with the shared test
# support and GoogleTest; each of its tests is a test of ctest.  Every
# target in PROGRAMS is built before it and its path handed to the sources
# as <TARGET>_PATH (ifgextract: IFGEXTRACT_PATH).  Included only when
# BUILD_TESTING is on; the folders call it under the same condition.
find_package(GTest REQUIRED)
include(GoogleTest)

function(add_unit_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROGRAMS;DEFINITIONS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} test_support GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE ${T_DEFINITIONS})
  foreach(program ${T_PROGRAMS})
    string(TOUPPER ${program} macro)
    target_compile_definitions(${name} PRIVATE ${macro}_PATH="$<TARGET_FILE:${program}>")
    add_dependencies(${name} ${program})
  endforeach()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30)
endfunction()
