# End-to-end tests of the About box: a C++ host that loads VELKO.dll from bin/
# and a VBScript host on the registered DLL, each with the box driven from
# outside; and about_driver.exe, which those tests and scripts/demo.sh use to
# read and close the box of another process.
add_executable(about_driver about_driver.cc)
target_include_directories(about_driver PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_options(about_driver PRIVATE -municode)
target_link_libraries(about_driver PRIVATE uxtheme)
set_target_properties(about_driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELKO_TEST_BIN_DIR})

velko_test(about_e2e_tests WINE_ONLY
  SOURCES about_host_test.cc ${PROJECT_SOURCE_DIR}/tests/com/com_host.cc
  LIBS velko_guids velko_platform psapi)
target_include_directories(about_e2e_tests PRIVATE ${PROJECT_SOURCE_DIR})
add_dependencies(about_e2e_tests VELKO shell_marker)

add_test(NAME about_vbscript COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/about_vbs_test.sh ${VELKO_ARCH} ${CMAKE_BINARY_DIR})
set_tests_properties(about_vbscript PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)
add_dependencies(about_driver VELKO)

# The box at 96, 144 and 192 DPI, in a Wine prefix and on a display of its own.
add_test(NAME about_dpi COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/about_dpi.sh ${VELKO_ARCH} ${CMAKE_BINARY_DIR})
set_tests_properties(about_dpi PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)

# The box in every shipped language, on one contact sheet per architecture.
add_test(NAME about_languages COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/about_languages.sh ${VELKO_ARCH} ${CMAKE_BINARY_DIR})
set_tests_properties(about_languages PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)
