quorly_unit_test(NAME test_app SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_startup.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/test_preferences.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/test_support_mail.cpp)
quorly_desktop_test(NAME test_app_gui SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_panels_gui.cpp
                    ${CMAKE_CURRENT_LIST_DIR}/test_controller_gui.cpp)
# The real program under the test services' X server (skipped without one). It types
# into its windows through the X server, so nothing else may run beside it and take the
# keyboard focus: it runs serially.
quorly_x11_test(NAME test_app_x11 SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_app_x11.cpp LIBS Qt6::Core
                DEPENDS quorly quorly-cli)
quorly_desktop_test(NAME test_app_shell_gui SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_app_shell_gui.cpp)
# The real program's Copy Password, read back from the test services' X server's
# clipboard by this test (a QApplication of its own there).
quorly_x11_test(NAME test_clipboard_x11 QT_APPLICATION SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_clipboard_x11.cpp
                DEPENDS quorly quorly-cli)
