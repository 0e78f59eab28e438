quorly_unit_test(NAME test_archives SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_archives.cpp)
quorly_desktop_test(NAME test_keychain SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_keychain.cpp
                    LABELS keychain ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
