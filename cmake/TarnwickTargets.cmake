# Helpers shared by every folder's CMakeLists.txt.

# tarnwick_test(NAME source... [LIBS lib...] [ENV VAR=value...])
# One GoogleTest executable registered with CTest; the tests inside run as one CTest test.
function(tarnwick_test name)
  cmake_parse_arguments(ARG "" "" "LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(ARG_ENV)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENV}")
  endif()
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
