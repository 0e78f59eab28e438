quorly_unit_test(NAME test_app SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_startup.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/test_preferences.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/test_support_mail.cpp)
quorly_desktop_test(NAME test_app_gui SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_app_gui.cpp)
# The real program under the test services' X server (skipped without one). It types
# into its windows through the X server, so nothing else may run beside it and take the
# keyboard focus: declared here rather than with quorly_unit_test to run it serially.
add_executable(test_app_x11 ${CMAKE_CURRENT_LIST_DIR}/test_app_x11.cpp)
target_compile_options(test_app_x11 PRIVATE ${QUORLY_WARNINGS})
target_include_directories(test_app_x11 PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(test_app_x11 PRIVATE QUORLY_BINARY_DIR="${PROJECT_BINARY_DIR}")
target_link_libraries(test_app_x11 PRIVATE Qt6::Core GTest::gtest_main)
if(TARGET quorly)
  add_dependencies(test_app_x11 quorly quorly-cli)
endif()
gtest_discover_tests(test_app_x11 DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES LABELS x11 RUN_SERIAL TRUE TIMEOUT 120)
quorly_desktop_test(NAME test_app_shell_gui SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_app_shell_gui.cpp)
# The real program's Copy Password, read back from the test services' X server's
# clipboard by this test (a QApplication of its own there). Serial: one clipboard.
add_executable(test_clipboard_x11 ${CMAKE_CURRENT_LIST_DIR}/test_clipboard_x11.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/desktop_test_main.cpp)
target_compile_options(test_clipboard_x11 PRIVATE ${QUORLY_WARNINGS})
target_include_directories(test_clipboard_x11 PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(test_clipboard_x11 PRIVATE QUORLY_BINARY_DIR="${PROJECT_BINARY_DIR}"
                                                      QUORLY_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
target_link_libraries(test_clipboard_x11 PRIVATE Qt6::Widgets GTest::gtest)
add_dependencies(test_clipboard_x11 quorly quorly-cli)
gtest_discover_tests(test_clipboard_x11 DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES LABELS x11 RUN_SERIAL TRUE TIMEOUT 120)
