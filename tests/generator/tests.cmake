quorly_unit_test(NAME test_generator SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_generate_password.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_generator_rules.cpp)

quorly_desktop_test(NAME test_generator_callout_gui SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_generator_callout_gui.cpp
  ${PROJECT_SOURCE_DIR}/tests/store/DocumentTestSupport.cpp)
