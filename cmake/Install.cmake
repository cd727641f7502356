# The manual, the program's version, the desktop files, the install target and the Debian package.
include(${CMAKE_CURRENT_LIST_DIR}/Manual.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/Desktop.cmake)

if(TARGET TicovaGUI)
  # The About box shows the project's version.
  target_compile_definitions(TicovaGUI PRIVATE TICOVA_VERSION="${PROJECT_VERSION}")
endif()
if(TARGET ticova)
  target_compile_definitions(ticova PRIVATE TICOVA_VERSION="${PROJECT_VERSION}")
  target_compile_definitions(ticova-window PRIVATE TICOVA_VERSION="${PROJECT_VERSION}")
endif()

if(TARGET ticova)
  include(GNUInstallDirs)
  # The FHS layout: the program in bin/, what it ships in share/ticova/, the manual and the licence
  # in share/doc/ticova/. The program finds an installed layout from share/ticova/ beside its bin/
  # folder; settings, log and the user's own language files then go to the user's XDG folders.
  set(TICOVA_SHARE ${CMAKE_INSTALL_DATADIR}/ticova)
  set(TICOVA_DOC ${CMAKE_INSTALL_DATADIR}/doc/ticova)
  install(TARGETS ticova RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS ticova-window LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/ticova)
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/Lang/ DESTINATION ${TICOVA_SHARE}/Lang FILES_MATCHING PATTERN "*.lng")
  if(TARGET TicovaManual)
    install(FILES ${TICOVA_MANUAL} DESTINATION ${TICOVA_DOC})
  endif()
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${TICOVA_DOC} RENAME copyright)
  install(FILES ${TICOVA_DESKTOP_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${TICOVA_METAINFO_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${TICOVA_ICON_SVG} RENAME ${TICOVA_APP_ID}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  if(TARGET TicovaIcons)
    foreach(_size ${TICOVA_ICON_SIZES})
      install(FILES ${CMAKE_BINARY_DIR}/icons/${_size}x${_size}/${TICOVA_APP_ID}.png
              DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
    endforeach()
  endif()
  if(TARGET TicovaManPage)
    install(FILES ${TICOVA_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()

  # `make package`: a Debian package for /usr. Its library dependencies come from dpkg-shlibdeps;
  # what the program loads at run time (the GM SoundFont, Qt's translations, ALSA's plug-ins that
  # reach PulseAudio and PipeWire) is named here.
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME ticova)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "metronome for practising musicians")
  set(CPACK_PACKAGE_DESCRIPTION "Ticova plays a click track from 10 to 400 bpm with accents, groupings,\nsubdivisions, polyrhythms, drum rhythms drawn in a step sequencer and a speed\ntrainer, every click placed in the sound card's output to the sample.")
  set(CPACK_PACKAGE_CONTACT "The Ticova developers <ticova@users.noreply.github.com>")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/ticova/ticova)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "timgm6mb-soundfont | fluid-soundfont-gm, libasound2-plugins")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
  include(CPack)

  # The package's test: `cpack` into a scratch folder, `dpkg -x` into a scratch root, its file list
  # and dependencies checked, and the unpacked program started.
  if(NOT TICOVA_FUZZ)
    add_test(NAME PackageContents
             COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-package ${CMAKE_BINARY_DIR}
                     ${CMAKE_SOURCE_DIR}/Tests/Package/files.txt)
    set_tests_properties(PackageContents PROPERTIES LABELS Package TIMEOUT 300 RUN_SERIAL TRUE)
  endif()
endif()
