quorly_unit_test(NAME test_generator SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_generate_password.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_generator_rules.cpp)
