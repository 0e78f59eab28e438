quorly_unit_test(NAME test_archives SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_archives.cpp)
quorly_desktop_test(NAME test_keychain SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_keychain.cpp
                    LABELS keychain ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
add_executable(crash_report ${CMAKE_CURRENT_LIST_DIR}/crash_report_main.cpp)
target_compile_options(crash_report PRIVATE ${QUORLY_WARNINGS})
target_link_libraries(crash_report PRIVATE quorly_core)
quorly_unit_test(NAME test_crash_handler NO_SANITIZER SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_crash_handler.cpp)
target_compile_definitions(test_crash_handler PRIVATE QUORLY_CRASH_REPORT="$<TARGET_FILE:crash_report>")
add_dependencies(test_crash_handler crash_report)
quorly_unit_test(NAME test_clipboard_secret_timer SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_clipboard_secret_timer.cpp
                 LIBS Qt6::Test)
