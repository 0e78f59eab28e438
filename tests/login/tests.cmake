quorly_unit_test(NAME test_login_options SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_login_options.cpp)

quorly_unit_test(NAME test_browsers SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_browsers.cpp)

# A window of our own that records the keys it receives, for the X11 tests and the
# typing benchmark.
add_executable(quorly_key_recorder ${CMAKE_CURRENT_LIST_DIR}/key_recorder_main.cpp)
target_compile_options(quorly_key_recorder PRIVATE ${QUORLY_WARNINGS})
target_link_libraries(quorly_key_recorder PRIVATE Qt6::Widgets)

# A stand-in browser that records the arguments it was started with.
add_executable(quorly_arg_recorder ${CMAKE_CURRENT_LIST_DIR}/arg_recorder_main.cpp)
target_compile_options(quorly_arg_recorder PRIVATE ${QUORLY_WARNINGS})

quorly_unit_test(NAME test_fill_sequences SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/test_fill_sequences.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_hot_key_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/test_website_opening.cpp
  ${PROJECT_SOURCE_DIR}/tests/store/DocumentTestSupport.cpp)

# The X11 layer against the test services' X server (skipped without one). It types
# into windows and holds keys on the one keyboard of that server, so it runs serially.
add_executable(test_login_x11 ${CMAKE_CURRENT_LIST_DIR}/test_login_x11.cpp
  ${PROJECT_SOURCE_DIR}/tests/store/DocumentTestSupport.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/desktop_test_main.cpp)
target_compile_options(test_login_x11 PRIVATE ${QUORLY_WARNINGS})
target_include_directories(test_login_x11 PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(test_login_x11 PRIVATE QUORLY_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures"
                                                  QUORLY_BINARY_DIR="${PROJECT_BINARY_DIR}")
target_link_libraries(test_login_x11 PRIVATE quorly_desktop Qt6::Test GTest::gtest)
add_dependencies(test_login_x11 quorly_key_recorder quorly_arg_recorder)
gtest_discover_tests(test_login_x11 DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES LABELS x11 RUN_SERIAL TRUE TIMEOUT 120 ENVIRONMENT "QT_QPA_PLATFORM=xcb")

# The end-to-end login: the real program, Debian's chromium and a window manager under
# the test services' X server (skipped without them). Serial, like every X11 test.
add_executable(test_login_chromium ${CMAKE_CURRENT_LIST_DIR}/test_login_chromium.cpp)
target_compile_options(test_login_chromium PRIVATE ${QUORLY_WARNINGS})
target_include_directories(test_login_chromium PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(test_login_chromium PRIVATE QUORLY_BINARY_DIR="${PROJECT_BINARY_DIR}"
                                                       QUORLY_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures")
target_link_libraries(test_login_chromium PRIVATE Qt6::Network GTest::gtest_main)
add_dependencies(test_login_chromium quorly quorly-cli)
gtest_discover_tests(test_login_chromium DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
  PROPERTIES LABELS x11 RUN_SERIAL TRUE TIMEOUT 240)
