# Helpers shared by the folders' CMakeLists.

# Reproducible binaries: one commit gives the same bytes whatever folder it is built
# in and whenever. Build paths stay out of the objects (__FILE__, debug information),
# and ld writes no link time into the PE and export headers (they read 0). ld's
# automatic image base hashes the output path as its command line names it: Ninja
# names it relative to the build folder, and the language libraries are linked in bin/.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=velko/ -ffile-prefix-map=${CMAKE_BINARY_DIR}/=build/)
add_link_options(-Wl,--no-insert-timestamp)
# The one time a binary records (widl's in the type library): SOURCE_DATE_EPOCH, or
# the time of the commit built. Configuring again whenever HEAD moves keeps it that
# commit's. The packages read the same time when they are made (packaging/).
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(VELKO_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct OUTPUT_VARIABLE VELKO_SOURCE_DATE_EPOCH
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} rev-parse --absolute-git-dir OUTPUT_VARIABLE git_dir
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(EXISTS "${git_dir}/logs/HEAD")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${git_dir}/logs/HEAD)
  endif()
endif()
if(NOT VELKO_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "set SOURCE_DATE_EPOCH: ${PROJECT_SOURCE_DIR} is not a git checkout to take the commit's time from")
endif()

# Test time limits are multiplied by VELKO_TIMEOUT_FACTOR: scripts/test.sh sets it
# for the x86 build when it runs in the emulated machine. Every entry gets the
# factor as VELKO_TIME_FACTOR, and scales each of its own waits by it.
set(VELKO_TIMEOUT_FACTOR 1 CACHE STRING "multiplier of every test's time limit")
math(EXPR VELKO_TIMEOUT_300 "300 * ${VELKO_TIMEOUT_FACTOR}")
math(EXPR VELKO_TIMEOUT_600 "600 * ${VELKO_TIMEOUT_FACTOR}")
math(EXPR VELKO_TIMEOUT_900 "900 * ${VELKO_TIMEOUT_FACTOR}")

# velko_test(<name> SOURCES <files...> LIBS <targets...>)
# One test executable, one ctest entry, run in Wine through
# CMAKE_CROSSCOMPILING_EMULATOR; exit code 77 means "skipped" (for example the
# x86 runtime when wine32 is missing), and the reason is printed.
function(velko_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  target_precompile_headers(${name} REUSE_FROM velko_test_pch)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELKO_TEST_BIN_DIR})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT ${VELKO_TIMEOUT_900})
  velko_test_properties(${name})
endfunction()

# The time factor, for every entry. The tests that show windows hold the display
# while they run, one at a time (velko_hold_display in scripts/wine-env.sh, which
# also keeps the other preset's ctest out); ctest -j runs the other tests beside them.
set(VELKO_DISPLAY_TESTS dialogs_tests soak_tests about_e2e_tests e2e_about_languages lowres_box_tests)
function(velko_test_properties name)
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT VELKO_TIME_FACTOR=${VELKO_TIMEOUT_FACTOR})
  if(name IN_LIST VELKO_DISPLAY_TESTS)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT VELKO_HOLD_DISPLAY=1)
    set_property(TEST ${name} PROPERTY RESOURCE_LOCK display)
  endif()
endfunction()
# Parsing <windows.h> and the standard library takes most of the time of every
# compile; one precompiled header serves the product's targets and one, with
# GoogleTest added, the tests'. velko_pch(<target>) gives a target the first.
set(velko_pch_headers <windows.h> <shellapi.h> <objbase.h> <oleauto.h> <algorithm> <functional> <memory> <string>
    <string_view> <vector>)
add_library(velko_pch OBJECT ${CMAKE_CURRENT_LIST_DIR}/pch.cc)
target_precompile_headers(velko_pch PRIVATE ${velko_pch_headers})
add_library(velko_test_pch OBJECT ${CMAKE_CURRENT_LIST_DIR}/pch.cc)
target_link_libraries(velko_test_pch PRIVATE gtest)
target_precompile_headers(velko_test_pch PRIVATE ${velko_pch_headers} <gtest/gtest.h>)
function(velko_pch target)
  target_precompile_headers(${target} REUSE_FROM velko_pch)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/folder.cmake)


# The version every binary carries, from the project version: the DLL's and the
# language libraries' version resources include it, and hosts get it in include/.
set(VELKO_VERSION_HEADER ${CMAKE_BINARY_DIR}/include/velko_version.h)
configure_file(${PROJECT_SOURCE_DIR}/src/component/velko_version.h.in ${VELKO_VERSION_HEADER} @ONLY)

# velko_resource_dll(<target> <File.DLL> <rc file> <output dir>)
# A resource-only DLL (no code, no entry point, no imports) from a UTF-8 .rc file,
# with the project's version resource (src/localization/library_version.rc).
function(velko_resource_dll target file rc outdir)
  get_filename_component(rc_abs ${rc} ABSOLUTE)
  set(res ${CMAKE_CURRENT_BINARY_DIR}/${file}.res)
  set(version_rc ${PROJECT_SOURCE_DIR}/src/localization/library_version.rc)
  set(version_res ${CMAKE_CURRENT_BINARY_DIR}/${file}.version.res)
  get_filename_component(version_dir ${VELKO_VERSION_HEADER} DIRECTORY)
  add_custom_command(
    OUTPUT ${outdir}/${file}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${outdir}
    COMMAND ${CMAKE_RC_COMPILER} -c 65001 -O coff -i ${rc_abs} -o ${res}
    COMMAND ${CMAKE_RC_COMPILER} -I ${version_dir} -O coff -i ${version_rc} -o ${version_res}
    COMMAND ${CMAKE_C_COMPILER} -shared -nostdlib -s -Wl,-e,0 -o ${outdir}/${file} ${res} ${version_res}
    DEPENDS ${rc_abs} ${version_rc} ${VELKO_VERSION_HEADER}
    COMMENT "resource library ${file}")
  add_custom_target(${target} ALL DEPENDS ${outdir}/${file})
endfunction()
