quorly_unit_test(NAME test_callout SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_callout.cpp)
quorly_desktop_test(NAME test_callout_gui SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_callout_gui.cpp)
