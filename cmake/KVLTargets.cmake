# Shared settings for every target of the project.

# Log lines and error records carry a class file's path relative to the source tree,
# without its extension; the prefix map makes __FILE__ relative so the two cannot drift.
function(kvl_target_defaults target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wno-unused-parameter
    "-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=")
  if(KVL_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A static library of the sources listed after its name.
function(kvl_static_library target)
  add_library(${target} STATIC ${ARGN})
  target_include_directories(${target} PUBLIC "${CMAKE_CURRENT_SOURCE_DIR}")
  # The libraries call each other in a cycle; repeat them on link lines until all resolve.
  set_property(TARGET ${target} PROPERTY LINK_INTERFACE_MULTIPLICITY 3)
  kvl_target_defaults(${target})
endfunction()

# A GoogleTest binary of the sources listed after its name, registered with ctest.
function(kvl_test_binary target)
  if(NOT KVL_BUILD_TESTS)
    return()
  endif()
  add_executable(${target} ${ARGN})
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main KVLTestSupport)
  kvl_target_defaults(${target})
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
