# Drives the real quorly-cli binary on packages made independently of this code.
quorly_unit_test(NAME test_cli NO_SANITIZER SOURCES ${CMAKE_CURRENT_LIST_DIR}/cli_read_test.cpp)
add_dependencies(test_cli quorly-cli)
quorly_unit_test(NAME test_cli_edit NO_SANITIZER SOURCES ${CMAKE_CURRENT_LIST_DIR}/cli_edit_test.cpp)
add_dependencies(test_cli_edit quorly-cli)
quorly_unit_test(NAME test_cli_passwd NO_SANITIZER SOURCES ${CMAKE_CURRENT_LIST_DIR}/cli_passwd_test.cpp)
add_dependencies(test_cli_passwd quorly-cli)
quorly_unit_test(NAME test_cli_generate NO_SANITIZER SOURCES ${CMAKE_CURRENT_LIST_DIR}/cli_generate_test.cpp)
add_dependencies(test_cli_generate quorly-cli)
quorly_unit_test(NAME test_cli_import_export NO_SANITIZER SOURCES ${CMAKE_CURRENT_LIST_DIR}/cli_import_export_test.cpp)
add_dependencies(test_cli_import_export quorly-cli)
# Many processes at once; some tests mount a small tmpfs when they may.
quorly_unit_test(NAME test_cli_processes NO_SANITIZER SOURCES ${CMAKE_CURRENT_LIST_DIR}/cli_processes_test.cpp)
add_dependencies(test_cli_processes quorly-cli)
# show and clip; clip against the test services' X server, whose one clipboard this test
# reads (a QApplication of its own there), so it runs serially.
add_executable(test_cli_entry ${CMAKE_CURRENT_LIST_DIR}/cli_entry_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/desktop_test_main.cpp)
target_compile_options(test_cli_entry PRIVATE ${QUORLY_WARNINGS})
target_include_directories(test_cli_entry PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(test_cli_entry PRIVATE QUORLY_BINARY_DIR="${PROJECT_BINARY_DIR}"
                                                  QUORLY_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
target_link_libraries(test_cli_entry PRIVATE Qt6::Widgets GTest::gtest)
add_dependencies(test_cli_entry quorly-cli)
gtest_discover_tests(test_cli_entry DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES LABELS x11 RUN_SERIAL TRUE TIMEOUT 120)
