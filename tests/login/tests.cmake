quorly_unit_test(NAME test_login_options SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_login_options.cpp)

quorly_unit_test(NAME test_browsers SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_browsers.cpp)

# A window of our own that records the keys it receives, for the X11 tests and the
# typing benchmark.
add_executable(quorly_key_recorder ${CMAKE_CURRENT_LIST_DIR}/key_recorder_main.cpp)
target_compile_options(quorly_key_recorder PRIVATE ${QUORLY_WARNINGS})
target_link_libraries(quorly_key_recorder PRIVATE Qt6::Widgets)

quorly_unit_test(NAME test_fill_sequences SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_fill_sequences.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_hot_key_table.cpp)
