# The program on real windows under Wine on a virtual X display (see the
# Makefile's test-windows).
add_executable(win32_app_tests ${CMAKE_CURRENT_SOURCE_DIR}/win32_program_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/win32_commands_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/win32_new_table_test.cpp)
target_include_directories(win32_app_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(win32_app_tests PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(win32_app_tests PRIVATE tabulon_app tabulon_grid tabulon_toolkit_win32 tabulon_resources
                      tabulon_warnings gtest_main)
add_test(NAME win32_app_tests COMMAND win32_app_tests)
set_tests_properties(win32_app_tests PROPERTIES TIMEOUT 300)
