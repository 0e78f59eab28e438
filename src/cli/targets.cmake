file(GLOB quorly_cli_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cpp)
add_executable(quorly-cli ${quorly_cli_sources})
target_compile_options(quorly-cli PRIVATE ${QUORLY_WARNINGS})
target_compile_definitions(quorly-cli PRIVATE QUORLY_VERSION="${PROJECT_VERSION}")
# `clip` holds the desktop's clipboard, through the desktop library's Qt Gui and X11;
# the other commands run without a display all the same.
target_link_libraries(quorly-cli PRIVATE quorly_core quorly_desktop)
add_dependencies(quorly_programs quorly-cli)
install(TARGETS quorly-cli RUNTIME DESTINATION bin)
