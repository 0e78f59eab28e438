quorly_unit_test(NAME test_import SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_delimited_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_import_plan.cpp)

quorly_desktop_test(NAME test_import_gui SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_import_gui.cpp
  ${PROJECT_SOURCE_DIR}/tests/store/DocumentTestSupport.cpp)
