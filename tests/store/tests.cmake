quorly_unit_test(NAME test_run_loop SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_run_loop.cpp)
quorly_unit_test(NAME test_cipher SOURCES ${CMAKE_CURRENT_LIST_DIR}/cipher_test.cpp)
quorly_unit_test(NAME test_document SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_document.cpp
                 ${CMAKE_CURRENT_LIST_DIR}/DocumentTestSupport.cpp)
