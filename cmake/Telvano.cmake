# Adds every direct child folder of DIR that holds a CMakeLists.txt, in name order.
function(telvano_add_children dir)
  file(GLOB children RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/${dir} ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${child}/CMakeLists.txt)
      add_subdirectory(${dir}/${child})
    endif()
  endforeach()
endfunction()

# telvano_library(NAME SOURCES ... DEPS ...): one static library per src/ folder, include root is src/.
function(telvano_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  if(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# telvano_test(NAME SOURCES ... DEPS ... [LABELS ...]): one GoogleTest executable, registered with CTest.
function(telvano_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} telvano_test_support GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # gtest_discover_tests splits every list value into separate words, so a test gets one label (the
  # given labels joined by "-", which `ctest -L <any of them>` still matches) and one environment value.
  # Tests find the source and build folders through tests/support/test_paths.h instead.
  string(REPLACE ";" "-" label "${ARG_LABELS}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS "${label}" ENVIRONMENT "TELVANO_BUILD_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# telvano_test_resource_lock(TARGET LOCK REGEX): the tests of TARGET whose names match REGEX get ctest's
# RESOURCE_LOCK LOCK, so ctest never runs two of them at once. For the tests that stop and start the one
# Firebird server: their file lock (tests/support/firebird_server.h) keeps them apart anyway, but a test that
# waits on it holds one of ctest's slots and its clock runs. The names are known only once the tests are
# discovered, so the property is set by a file that ctest reads after the discovered list.
function(telvano_test_resource_lock target lock regex)
  set(file ${CMAKE_CURRENT_BINARY_DIR}/${target}_resource_lock.cmake)
  file(WRITE ${file} "foreach(test IN LISTS ${target}_TESTS)\n"
                     "  if(test MATCHES [=[${regex}]=])\n"
                     "    set_tests_properties(\"\${test}\" PROPERTIES RESOURCE_LOCK ${lock})\n"
                     "  endif()\n"
                     "endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${file})
endfunction()
