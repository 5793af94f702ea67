# The grid on real windows under Wine on a virtual X display (see the
# Makefile's test-windows): the Win32 backend with the program's resources,
# which hold the sizing cursors the grid loads.
add_executable(win32_grid_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/win32_grid_test.cpp
)
target_compile_definitions(win32_grid_tests PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(win32_grid_tests PRIVATE tabulon_grid tabulon_toolkit_win32 tabulon_resources
                      tabulon_warnings gtest_main)
add_test(NAME win32_grid_tests COMMAND win32_grid_tests)
set_tests_properties(win32_grid_tests PROPERTIES TIMEOUT 300)
