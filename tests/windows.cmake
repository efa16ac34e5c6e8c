# The Windows test program: the core's and the tool's tests plus the Win32
# backends' own, run under Wine. The tests of the Linux and Qt backends stay
# in the Linux build.
add_subdirectory(/usr/src/googletest ${CMAKE_CURRENT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB CVK_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
set(_linux_backend_tests
  desktop_mouse_test hidapi_bus_test hotplug_test libusb_control_test xkb_layout_test
  gui_single_instance_test settings_store_test test_home_test input_safety_test isp_library_test)
foreach(_test IN LISTS _linux_backend_tests)
  list(FILTER CVK_TEST_SOURCES EXCLUDE REGEX "/${_test}\\.cpp$")
endforeach()
file(GLOB CVK_WINDOWS_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/windows/*_test.cpp)
add_executable(cvk_tests ${CVK_TEST_SOURCES} ${CVK_WINDOWS_TEST_SOURCES} ${CMAKE_CURRENT_SOURCE_DIR}/test_main.cpp)
target_include_directories(cvk_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(cvk_tests PRIVATE cvk_cli cvk_sim cvk_core cvk_os gtest cvk_warnings)
# The build machine's folders as the programs under Wine see them: its root
# is drive Z:, and a path without a drive is no absolute path on Windows.
set(_z "Z:")
target_compile_definitions(cvk_tests PRIVATE
  CVK_TEST_HOME_ROOT="${_z}${CMAKE_CURRENT_BINARY_DIR}/test-home"
  CVK_SOURCE_DIR="${_z}${PROJECT_SOURCE_DIR}")

set(CVK_STANDIN_PATH_PREFIX ${_z})
include(isp_standin/standins.cmake)

# Wine in a prefix of the build tree's own, never the user's ~/.wine.
set(CVK_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(_wine_env "WINEPREFIX=${CVK_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
# Each Wine start costs a second or more: the suite runs as one program
# rather than one process per test.
add_test(NAME windows_suite COMMAND cvk_tests)
set_tests_properties(windows_suite PROPERTIES ENVIRONMENT "${_wine_env}" TIMEOUT 900)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME windows_cli_writes_the_registry
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/windows/cli_registry_check.py
    --cli $<TARGET_FILE:cvkeys-cli> --wine ${CVK_WINE})
set_tests_properties(windows_cli_writes_the_registry PROPERTIES ENVIRONMENT "${_wine_env}" TIMEOUT 300)
