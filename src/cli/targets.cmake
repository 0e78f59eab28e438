file(GLOB quorly_cli_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(quorly-cli ${quorly_cli_sources})
target_compile_options(quorly-cli PRIVATE ${QUORLY_WARNINGS})
target_compile_definitions(quorly-cli PRIVATE QUORLY_VERSION="${PROJECT_VERSION}")
# No display library: every command starts on Qt Core alone, and `clip` hands the field
# to quorly-cli-clip below.
target_link_libraries(quorly-cli PRIVATE quorly_core)
add_dependencies(quorly_programs quorly-cli)
install(TARGETS quorly-cli RUNTIME DESTINATION bin)

# What `clip` becomes to hold the desktop's clipboard: Qt Gui and the one clipboard
# class, not the whole desktop library. quorly-cli looks for it in its own folder.
if(TARGET Qt6::Gui AND TARGET PkgConfig::XCB)
  add_executable(quorly-cli-clip ${CMAKE_CURRENT_LIST_DIR}/desktop/clip_helper_main.cpp
                 ${PROJECT_SOURCE_DIR}/src/platform/desktop/QtClipboard.cpp
                 ${PROJECT_SOURCE_DIR}/src/platform/desktop/QtClipboard.h)
  target_compile_options(quorly-cli-clip PRIVATE ${QUORLY_WARNINGS})
  target_link_libraries(quorly-cli-clip PRIVATE quorly_core Qt6::Gui PkgConfig::XCB)
  add_dependencies(quorly_programs quorly-cli-clip)
  install(TARGETS quorly-cli-clip RUNTIME DESTINATION bin)
endif()
