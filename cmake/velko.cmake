# Helpers shared by the folders' CMakeLists.

# velko_test(<name> SOURCES <files...> LIBS <targets...> [WINE_ONLY] [NATIVE_ONLY])
# One test executable, one ctest entry. Under the cross presets it runs in Wine
# through CMAKE_CROSSCOMPILING_EMULATOR; exit code 77 means "skipped" (for example
# the x86 runtime when wine32 is missing), and the reason is printed.
function(velko_test name)
  cmake_parse_arguments(T "WINE_ONLY;NATIVE_ONLY" "" "SOURCES;LIBS" ${ARGN})
  if(T_WINE_ONLY AND NOT WIN32)
    return()
  endif()
  if(T_NATIVE_ONLY AND WIN32)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELKO_TEST_BIN_DIR})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)
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
