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
quorly_x11_test(NAME test_cli_entry QT_APPLICATION SOURCES ${CMAKE_CURRENT_LIST_DIR}/cli_entry_test.cpp
                DEPENDS quorly-cli quorly-cli-clip)
