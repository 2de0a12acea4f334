# Helpers shared by every folder's CMakeLists.txt.
include(GoogleTest)

# Which tests a build folder builds and registers. The test command gives each
# build folder only the kinds it runs:
#   portable  the code on the headless backend, whatever the system (unit and
#             behaviour tests; run sanitized)
#   system    what differs per operating system: files, locks, processes,
#             terminals, the Win32 window system (run sanitized, and under Wine)
#   desktop   Qt, a real X display, the built program and its installation
#             (run in the plain build)
#   fuzz      what the fuzz targets stand on (run in the fuzz build)
# Each case is labelled with its kind (ctest -L desktop).
set(TARNWICK_TEST_KINDS "portable;system;desktop;fuzz" CACHE STRING
    "The kinds of tests to build and register (portable, system, desktop, fuzz)")

# Test code (the test programs and the libraries only tests use) is compiled
# unoptimised, which builds several times faster; the code under test keeps
# the build's optimisation.
function(tarnwick_compile_as_test_code target)
  target_compile_options(${target} PRIVATE -O0)
endfunction()

# tarnwick_test(NAME source... [KIND portable|system|desktop|fuzz] [LIBS lib...]
#               [ENV VAR=value] [FILTER gtest-filter] [TIMEOUT seconds]
#               [RESOURCE_LOCK lock])
# One GoogleTest executable; CTest runs each of its test cases as a test of
# its own (named NAME.Suite.Case), so a failure names its case. KIND defaults to
# portable. A kind the build folder leaves out still defines the executable
# (so that the caller's target_* calls hold) but builds and registers nothing.
# TIMEOUT applies to each case; RESOURCE_LOCK keeps cases that share a display
# or a Wine prefix from running at the same time.
function(tarnwick_test name)
  cmake_parse_arguments(ARG "" "KIND;FILTER;TIMEOUT;RESOURCE_LOCK" "LIBS;ENV" ${ARGN})
  if(NOT ARG_KIND)
    set(ARG_KIND portable)
  endif()
  if(NOT ARG_KIND MATCHES "^(portable|system|desktop|fuzz)$")
    message(FATAL_ERROR "tarnwick_test(${name}): unknown KIND ${ARG_KIND}")
  endif()
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  tarnwick_compile_as_test_code(${name})
  if(NOT ARG_KIND IN_LIST TARNWICK_TEST_KINDS)
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
    return()
  endif()

  # The discovered cases' properties reach CTest as one flat list: one value each.
  set(properties LABELS ${ARG_KIND})
  if(ARG_ENV)
    list(LENGTH ARG_ENV env_count)
    if(env_count GREATER 1)
      message(FATAL_ERROR "tarnwick_test(${name}): one ENV entry at most")
    endif()
    list(APPEND properties ENVIRONMENT ${ARG_ENV})
  endif()
  if(ARG_TIMEOUT)
    list(APPEND properties TIMEOUT ${ARG_TIMEOUT})
  endif()
  if(ARG_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
  endif()
  set(filter)
  if(ARG_FILTER)
    set(filter TEST_FILTER ${ARG_FILTER})
  endif()
  # Listed when CTest starts rather than after the link: a cross-built test
  # program is listed under Wine, which must not run inside the build.
  # Named program.Suite.Case: the widget suites run the same cases on several backends.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 300 TEST_PREFIX ${name}.
    ${filter} PROPERTIES ${properties})
endfunction()

# Adds every direct subfolder of the current folder that has a CMakeLists.txt,
# so that tools, benchmarks and fuzz targets can be added without touching a shared file.
function(tarnwick_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
