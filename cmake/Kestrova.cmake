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
# root, so headers are included as "common/base/xr_root.h".
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
      if(NOT TARGET PkgConfig::XR_${pid})
        pkg_check_modules(XR_${pid} REQUIRED IMPORTED_TARGET ${p})
        # The libraries by name (-lfoo) rather than by file, as pkg-config
        # gives them: a static link then takes their archives.
        set_target_properties(PkgConfig::XR_${pid} PROPERTIES
                              INTERFACE_LINK_LIBRARIES "${XR_${pid}_LIBRARIES}"
                              INTERFACE_LINK_DIRECTORIES "${XR_${pid}_LIBRARY_DIRS}")
      endif()
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
  # The source and build folders are compiled in: test discovery splits an
  # ENVIRONMENT list, so it carries the stage folder only.
  target_compile_definitions(${name} PRIVATE XR_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                             XR_TEST_BINARY_DIR="${CMAKE_BINARY_DIR}")
  # Text is drawn with the staged fonts only, whatever the machine has.
  set(props ENVIRONMENT "XR_STAGE_DIR=${XR_STAGE_DIR}"
      ENVIRONMENT_MODIFICATION "FONTCONFIG_FILE=set:${XR_STAGE_DIR}/usr/share/kestrova/fonts.conf")
  if(A_LABELS)
    list(APPEND props LABELS "${A_LABELS}")
  endif()
  # A program that draws runs on an X server of its own.
  if("xvfb" IN_LIST A_LABELS)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/with-xvfb)
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

# The library name of a component folder: common/db/qt -> xr_db_qt.
function(xr_component_name out dir)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${dir})
  string(REGEX REPLACE "^(tests|bench|fuzz)/" "" rel "${rel}")
  string(REGEX REPLACE "^(common|apps|toolkit|platform)/" "" rel "${rel}")
  string(REPLACE "/" "_" rel "${rel}")
  string(REPLACE "-" "_" rel "${rel}")
  set(${out} xr_${rel} PARENT_SCOPE)
endfunction()

# xr_component([DEPS ...] [PKG ...]): the static library of the current
# component folder, from every .cpp/.c file in it (subfolders excluded).
function(xr_component)
  cmake_parse_arguments(A "" "" "DEPS;PKG" ${ARGN})
  xr_component_name(name ${CMAKE_CURRENT_SOURCE_DIR})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(NOT srcs)
    # Nothing built yet (or headers only).
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    return()
  endif()
  xr_library(${name} SOURCES ${srcs} DEPS ${A_DEPS} PKG ${A_PKG})
endfunction()

# Calls <kind>(<target> SOURCES <file> DEPS <component library> <DEPS...>
# [LABELS ...]) for every <prefix>*.cpp of the current folder.
function(_xr_component_programs kind prefix)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  xr_component_name(lib ${CMAKE_CURRENT_SOURCE_DIR})
  set(deps ${A_DEPS})
  if(TARGET ${lib})
    list(PREPEND deps ${lib})
  endif()
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${prefix}*.cpp)
  foreach(f ${files})
    get_filename_component(base ${f} NAME_WE)
    if(kind STREQUAL "test")
      set(labels "")
      if(base MATCHES "_xvfb$")
        set(labels xvfb)
      endif()
      xr_test(${lib}_${base} SOURCES ${f} DEPS ${deps} LABELS ${labels})
    elseif(kind STREQUAL "bench")
      xr_bench(${base} SOURCES ${f} DEPS ${deps})
    else()
      xr_fuzz(${base} SOURCES ${f} DEPS ${deps})
    endif()
  endforeach()
endfunction()

# xr_component_tests([DEPS ...]): one test program per test_*.cpp in the
# current folder, linked with the component's library and DEPS. A file named
# test_*_xvfb.cpp gets the label "xvfb" (runs under Xvfb).
function(xr_component_tests)
  _xr_component_programs(test test_ ${ARGN})
endfunction()

# xr_component_benches([DEPS ...]): one benchmark program per bench_*.cpp.
function(xr_component_benches)
  _xr_component_programs(bench bench_ ${ARGN})
endfunction()

# xr_component_fuzzers([DEPS ...]): one libFuzzer target per fuzz_*.cpp.
function(xr_component_fuzzers)
  _xr_component_programs(fuzz fuzz_ ${ARGN})
endfunction()

# xr_generate_images(<target> <desc-file> <out-dir>): draws the images of a
# description file (tools/imagegen) into out-dir at build time. <target> is a
# custom target that other targets can depend on.
function(xr_generate_images target desc outdir)
  get_filename_component(desc_abs ${desc} ABSOLUTE)
  get_filename_component(desc_name ${desc} NAME)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}.images)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${outdir}
    COMMAND xr-imagegen ${desc_abs} ${outdir} ${stamp}
    DEPENDS ${desc_abs} xr-imagegen
    COMMENT "Drawing images of ${desc_name}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${stamp})
endfunction()
