quorly_unit_test(NAME test_app SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_startup.cpp)
