# Source discovery and test registration shared by every subsystem folder.
#
# Each subsystem folder under src/ follows one convention, so that adding a file
# needs no edit of a shared list:
#   src/<subsystem>/*.cpp          -> quorly_core (QtCore, OpenSSL, libplist; no screen)
#   src/<subsystem>/desktop/*.cpp  -> quorly_desktop (widgets, keychain, X11)
#   src/<subsystem>/targets.cmake  -> optional: executables of that subsystem
# Files whose name ends in "main.cpp" are left to targets.cmake.

function(quorly_collect_sources out_var dir)
  file(GLOB found CONFIGURE_DEPENDS "${dir}/*.cpp" "${dir}/*.h" "${dir}/*.qrc")
  list(FILTER found EXCLUDE REGEX "main\\.cpp$")
  set(${out_var} ${found} PARENT_SCOPE)
endfunction()

# quorly_test_executable(<name> <sources...>)
# A test's executable: the project's warnings, the headers of src/ and tests/, and where
# the fixtures and the built programs are (QUORLY_TEST_DATA_DIR, QUORLY_BINARY_DIR).
function(quorly_test_executable name)
  add_executable(${name} ${ARGN})
  target_compile_options(${name} PRIVATE ${QUORLY_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE QUORLY_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures"
                                             QUORLY_BINARY_DIR="${PROJECT_BINARY_DIR}")
endfunction()

# quorly_unit_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [LABELS <labels...>]
#                  [ENVIRONMENT <k=v...>] [NO_SANITIZER])
# Builds a GoogleTest executable against quorly_core. Unless NO_SANITIZER is given and
# QUORLY_SANITIZERS is on, a twin "<name>_san" is built against quorly_core_san with
# AddressSanitizer and UBSan, and registered with the label "sanitizer".
function(quorly_unit_test)
  cmake_parse_arguments(T "NO_SANITIZER" "NAME" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  quorly_test_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE quorly_core ${T_LIBS} GTest::gtest_main)
  gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "${T_ENVIRONMENT}")

  if(QUORLY_SANITIZERS AND NOT T_NO_SANITIZER)
    set(san ${T_NAME}_san)
    quorly_test_executable(${san} ${T_SOURCES})
    target_compile_options(${san} PRIVATE ${QUORLY_SANITIZER_FLAGS})
    target_link_options(${san} PRIVATE ${QUORLY_SANITIZER_FLAGS})
    target_link_libraries(${san} PRIVATE quorly_core_san ${T_LIBS} GTest::gtest_main)
    gtest_discover_tests(${san} TEST_SUFFIX " [san]" DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS "sanitizer" ENVIRONMENT
      "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1;${T_ENVIRONMENT}")
  endif()
endfunction()

# quorly_desktop_test(NAME <name> SOURCES <files...> [LIBS ...] [LABELS ...] [ENVIRONMENT ...])
# A GoogleTest executable against quorly_desktop whose main creates a QApplication
# (tests/support/desktop_test_main.cpp). Runs offscreen unless ENVIRONMENT says otherwise.
function(quorly_desktop_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  if(NOT T_LABELS)
    set(T_LABELS gui)
  endif()
  if(NOT T_ENVIRONMENT)
    set(T_ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
  quorly_test_executable(${T_NAME} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/desktop_test_main.cpp)
  target_link_libraries(${T_NAME} PRIVATE quorly_desktop Qt6::Test ${T_LIBS} GTest::gtest)
  gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "${T_ENVIRONMENT}")
endfunction()

# quorly_x11_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [DEPENDS <targets...>]
#                 [TIMEOUT <seconds>] [QT_APPLICATION])
# A GoogleTest executable for the test services' X server (its tests skip without one):
# real programs, and the one keyboard and clipboard of that server, so it runs serially.
# With QT_APPLICATION its main makes a QApplication there (tests/support/desktop_test_main.cpp).
function(quorly_x11_test)
  cmake_parse_arguments(T "QT_APPLICATION" "NAME;TIMEOUT" "SOURCES;LIBS;DEPENDS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(main GTest::gtest_main)
  if(T_QT_APPLICATION)
    list(APPEND T_SOURCES ${PROJECT_SOURCE_DIR}/tests/support/desktop_test_main.cpp)
    set(main Qt6::Widgets GTest::gtest)
  endif()
  quorly_test_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${main})
  if(T_DEPENDS)
    add_dependencies(${T_NAME} ${T_DEPENDS})
  endif()
  gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS x11 RUN_SERIAL TRUE TIMEOUT ${T_TIMEOUT})
endfunction()
