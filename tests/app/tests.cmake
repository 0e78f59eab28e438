quorly_unit_test(NAME test_app SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_startup.cpp)
quorly_desktop_test(NAME test_app_gui SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_app_gui.cpp)
# The real program under the test services' X server (skipped without one).
quorly_unit_test(NAME test_app_x11 SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_app_x11.cpp LABELS x11 NO_SANITIZER)
if(TARGET quorly)
  add_dependencies(test_app_x11 quorly)
endif()
