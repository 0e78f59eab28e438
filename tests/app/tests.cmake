quorly_unit_test(NAME test_app SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_startup.cpp)
quorly_desktop_test(NAME test_app_gui SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_app_gui.cpp)
