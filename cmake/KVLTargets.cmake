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
  kvl_target_defaults(${target})
  set_property(GLOBAL APPEND PROPERTY KVL_STATIC_LIBRARIES ${target})
endfunction()

# Fails the configuration when the project's static libraries depend on each other in a
# cycle: a linker resolves a cycle only by repeating libraries, which hides the layering fault.
function(kvl_check_library_layers)
  get_property(libraries GLOBAL PROPERTY KVL_STATIC_LIBRARIES)
  foreach(library IN LISTS libraries)
    _kvl_follow_library(${library} "")
  endforeach()
endfunction()

# Walks the library's dependencies among the project's own, with the chain that led here.
function(_kvl_follow_library library chain)
  if(library IN_LIST chain)
    list(APPEND chain ${library})
    list(JOIN chain " -> " shown)
    message(FATAL_ERROR "The static libraries depend on each other in a cycle: ${shown}")
  endif()
  list(APPEND chain ${library})
  get_property(libraries GLOBAL PROPERTY KVL_STATIC_LIBRARIES)
  get_target_property(dependencies ${library} LINK_LIBRARIES)
  foreach(dependency IN LISTS dependencies)
    if(dependency IN_LIST libraries)
      _kvl_follow_library(${dependency} "${chain}")
    endif()
  endforeach()
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
