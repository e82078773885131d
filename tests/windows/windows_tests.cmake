# The Windows build's tests, run under wine (CTest's cross-compiling emulator): the unit tests
# that hold on both platforms, the Win32 seams, and parvela-cli.exe end to end.
# The tests left out expect POSIX paths ("/" in the command lines and files they compare, a
# settings file whose name is case-sensitive, the XDG folders of a POSIX user) or start POSIX
# programs; the Win32 seams test stands for their platform side.
list(FILTER PARVELA_UNIT_TESTS EXCLUDE REGEX "/(fsutil_cleanup|fsutil_helpers|pipeline_[a-z0-9_]+|process|startup_batch|analysis_inspection|settings_file|playability|cli_options|ui_dialogs|ui_run_control|state_folder)_test\\.cpp$")
list(APPEND PARVELA_UNIT_TESTS ${CMAKE_CURRENT_LIST_DIR}/win32_seams_test.cpp ${CMAKE_CURRENT_LIST_DIR}/win32_roads_test.cpp)

# The child the runner test starts, beside the test program.
add_executable(parvela_print_args ${CMAKE_CURRENT_LIST_DIR}/print_args.cpp)
set_target_properties(parvela_print_args PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

# parvela-cli.exe under wine with the Linux toolkit (from the Linux build) behind the Windows
# names, each a copy of the bridge that starts it and waits for it.
add_executable(parvela_wine_bridge ${CMAKE_CURRENT_LIST_DIR}/wine_bridge.cpp)
set_target_properties(parvela_wine_bridge PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
target_compile_options(parvela_wine_bridge PRIVATE -Wno-restrict)
set(PARVELA_LINUX_APP_DIR ${CMAKE_SOURCE_DIR}/build/app CACHE PATH "The Linux build's application folder")
add_test(NAME windows.cli_under_wine
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/cli_under_wine.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
                 ${PARVELA_APP_DIR} ${PARVELA_LINUX_APP_DIR} ${CMAKE_BINARY_DIR}/tests/parvela_wine_bridge.exe)
set_tests_properties(windows.cli_under_wine PROPERTIES LABELS e2e TIMEOUT 300)

# The Win32 window over the model: wine needs a display for windows, so these run on Xvfb, in a
# wine prefix of their own (wine's desktop keeps the display of the prefix's first program).
add_executable(parvela_win32_view_tests ${CMAKE_CURRENT_LIST_DIR}/win32_view_test.cpp)
target_link_libraries(parvela_win32_view_tests PRIVATE parvela_win32_view parvela_test_support GTest::gtest_main)
set_target_properties(parvela_win32_view_tests PROPERTIES ENABLE_EXPORTS ON
                      CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/scripts/wine-run.sh;--display;${CMAKE_BINARY_DIR}/wineprefix-gui")
gtest_discover_tests(parvela_win32_view_tests PROPERTIES LABELS gui RESOURCE_LOCK wine-gui DISCOVERY_TIMEOUT 120)
