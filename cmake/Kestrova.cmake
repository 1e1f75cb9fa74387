# Helpers shared by every CMakeLists.txt of the tree.

# Adds every folder below the given top folders that has a CMakeLists.txt
# (nested ones too: a folder never adds its own children).
function(xr_add_subdirs)
  foreach(top ${ARGN})
    if(NOT EXISTS ${CMAKE_SOURCE_DIR}/${top})
      continue()
    endif()
    file(GLOB_RECURSE lists RELATIVE ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS
         ${CMAKE_SOURCE_DIR}/${top}/*/CMakeLists.txt)
    list(SORT lists)
    foreach(l ${lists})
      get_filename_component(dir ${l} DIRECTORY)
      add_subdirectory(${CMAKE_SOURCE_DIR}/${dir} ${CMAKE_BINARY_DIR}/${dir})
    endforeach()
  endforeach()
endfunction()

# xr_library(<name> SOURCES ... [DEPS ...] [PKG ...])
# One static library per component folder; the include root is the project
# root, so headers are included as "common/os/xr_root.h".
function(xr_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;PKG" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  if(A_DEPS)
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  endif()
  if(A_PKG)
    find_package(PkgConfig REQUIRED)
    foreach(p ${A_PKG})
      string(MAKE_C_IDENTIFIER ${p} pid)
      pkg_check_modules(XR_${pid} REQUIRED IMPORTED_TARGET ${p})
      target_link_libraries(${name} PUBLIC PkgConfig::XR_${pid})
    endforeach()
  endif()
endfunction()

# xr_test(<name> SOURCES ... [DEPS ...] [LABELS ...])
# A GoogleTest executable; each test case becomes one CTest test.
function(xr_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_DEPS} xr_testsupport GTest::gmock GTest::gtest_main)
  set(props ENVIRONMENT "XR_STAGE_DIR=${XR_STAGE_DIR};XR_SOURCE_DIR=${CMAKE_SOURCE_DIR};XR_BINARY_DIR=${CMAKE_BINARY_DIR}")
  if(A_LABELS)
    list(APPEND props LABELS "${A_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ${props})
endfunction()

# xr_fuzz(<name> SOURCES ... [DEPS ...]): a libFuzzer target (XR_FUZZ builds).
function(xr_fuzz name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${A_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_property(GLOBAL APPEND PROPERTY XR_FUZZ_TARGETS ${name})
endfunction()

# xr_bench(<name> SOURCES ... [DEPS ...]): a Google Benchmark program.
function(xr_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${A_DEPS} benchmark::benchmark benchmark::benchmark_main)
endfunction()
