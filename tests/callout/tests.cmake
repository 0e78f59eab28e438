quorly_unit_test(NAME test_callout SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_callout.cpp)
