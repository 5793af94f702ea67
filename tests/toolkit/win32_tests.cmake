# Real windows under Wine on a virtual X display (see the Makefile's
# test-windows): the Win32 backend with the program's resources.
add_executable(win32_toolkit_tests
  ${CMAKE_CURRENT_SOURCE_DIR}/win32_controls_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/win32_graphics_test.cpp
)
target_compile_definitions(win32_toolkit_tests PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(win32_toolkit_tests PRIVATE tabulon_toolkit_win32 tabulon_resources tabulon_warnings
                      gtest_main)
add_test(NAME win32_toolkit_tests COMMAND win32_toolkit_tests)
set_tests_properties(win32_toolkit_tests PROPERTIES TIMEOUT 300)
