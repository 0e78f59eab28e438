quorly_unit_test(NAME test_run_loop SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_run_loop.cpp)
quorly_unit_test(NAME test_cipher SOURCES ${CMAKE_CURRENT_LIST_DIR}/cipher_test.cpp)
quorly_unit_test(NAME test_password_change SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_password_change.cpp)
quorly_unit_test(NAME test_document SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_document.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/DocumentTestSupport.cpp)
add_executable(document_save_loop ${CMAKE_CURRENT_LIST_DIR}/document_save_loop_main.cpp)
target_compile_options(document_save_loop PRIVATE ${QUORLY_WARNINGS})
target_link_libraries(document_save_loop PRIVATE quorly_core)
quorly_unit_test(NAME test_document_kill NO_SANITIZER
                 SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_document_kill.cpp ${CMAKE_CURRENT_LIST_DIR}/DocumentTestSupport.cpp)
target_compile_definitions(test_document_kill PRIVATE QUORLY_SAVE_LOOP="$<TARGET_FILE:document_save_loop>")
add_dependencies(test_document_kill document_save_loop)
quorly_unit_test(NAME test_file_password SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_file_password.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/DocumentTestSupport.cpp)
quorly_desktop_test(NAME test_file_password_gui SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_file_password_gui.cpp)
quorly_desktop_test(NAME test_file_password_keychain SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_file_password_keychain.cpp
                    LABELS keychain)
quorly_unit_test(NAME test_document_writers SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_document_writers.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/DocumentTestSupport.cpp)
quorly_unit_test(NAME test_conflict_copies SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_conflict_copies.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/DocumentTestSupport.cpp)
# The file shared through a real Syncthing between two instances on this machine, and
# opened in the real program on the test services' X server: serial, like every test
# that types there.
quorly_x11_test(NAME test_syncthing_conflict TIMEOUT 300
                SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_syncthing_conflict.cpp ${CMAKE_CURRENT_LIST_DIR}/SyncthingPair.cpp
                LIBS Qt6::Network DEPENDS quorly quorly-cli)
