quorly_unit_test(NAME test_login_options SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_login_options.cpp)

quorly_unit_test(NAME test_browsers SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_browsers.cpp)
