quorly_unit_test(NAME test_entries SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_entry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_entry_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_password_archive.cpp)

quorly_unit_test(NAME test_entry_list_rules SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_entry_list_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_entry_drag.cpp)

quorly_desktop_test(NAME test_entry_table_gui SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_entry_table_gui.cpp)

quorly_desktop_test(NAME test_entry_window_gui SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_entry_window_gui.cpp
  ${PROJECT_SOURCE_DIR}/tests/store/DocumentTestSupport.cpp)

quorly_desktop_test(NAME test_entry_callout_gui SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_entry_callout_gui.cpp
  ${PROJECT_SOURCE_DIR}/tests/store/DocumentTestSupport.cpp)

quorly_unit_test(NAME test_export_print SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_export_print.cpp)

quorly_desktop_test(NAME test_export_print_gui SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_export_print_gui.cpp)

quorly_desktop_test(NAME test_entry_drag_gui SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_entry_drag_gui.cpp
  ${PROJECT_SOURCE_DIR}/tests/store/DocumentTestSupport.cpp)

quorly_unit_test(NAME test_entry_fields SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_entry_fields.cpp)
