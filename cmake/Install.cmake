# The manual, the program's version and the install target.
include(${CMAKE_CURRENT_LIST_DIR}/Manual.cmake)

if(TARGET TicovaGUI)
  # The About box shows the project's version.
  target_compile_definitions(TicovaGUI PRIVATE TICOVA_VERSION="${PROJECT_VERSION}")
endif()

if(TARGET ticova)
  include(GNUInstallDirs)
  # The program looks for its manual and its language files beside itself, so the three live
  # together in their own folder; a link in bin/ starts it. Settings and log then go to
  # $XDG_CONFIG_HOME/Ticova, as the program's folder is not writable.
  set(TICOVA_INSTALL_FOLDER ${CMAKE_INSTALL_LIBDIR}/ticova)
  install(TARGETS ticova RUNTIME DESTINATION ${TICOVA_INSTALL_FOLDER})
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/Lang/ DESTINATION ${TICOVA_INSTALL_FOLDER}/Lang
          FILES_MATCHING PATTERN "*.lng")
  if(TARGET TicovaManual)
    install(FILES ${TICOVA_MANUAL} DESTINATION ${TICOVA_INSTALL_FOLDER})
  endif()
  install(CODE "
    set(_bin \"\$ENV{DESTDIR}${CMAKE_INSTALL_FULL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${_bin}\")
    file(RELATIVE_PATH _target \"${CMAKE_INSTALL_FULL_BINDIR}\" \"${CMAKE_INSTALL_PREFIX}/${TICOVA_INSTALL_FOLDER}/ticova\")
    execute_process(COMMAND ${CMAKE_COMMAND} -E create_symlink \"\${_target}\" \"\${_bin}/ticova\")
    message(STATUS \"Installing: \${_bin}/ticova -> \${_target}\")
  ")
  install(FILES ${CMAKE_SOURCE_DIR}/Res/Desktop/ticova.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/Res/ticova.png RENAME ticova.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
  install(FILES ${CMAKE_SOURCE_DIR}/Res/ticova-48.png RENAME ticova.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ticova)
endif()
