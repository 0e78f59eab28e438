# The desktop program. Its window, panels and menus live in quorly_desktop.
if(TARGET quorly_desktop)
  add_executable(quorly ${CMAKE_CURRENT_LIST_DIR}/desktop/main.cpp)
  target_compile_options(quorly PRIVATE ${QUORLY_WARNINGS})
  target_compile_definitions(quorly PRIVATE QUORLY_VERSION="${PROJECT_VERSION}")
  target_link_libraries(quorly PRIVATE quorly_desktop)
  # The crash handler's backtraces name the program's functions only when they are
  # exported.
  set_target_properties(quorly PROPERTIES ENABLE_EXPORTS ON)
  add_dependencies(quorly_programs quorly)

  include(GNUInstallDirs)
  install(TARGETS quorly RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/resources/quorly.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/quorly.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # For desktops that draw no SVG icons: the same drawing, as the program paints it.
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/quorly-128.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps RENAME quorly.png)
endif()
