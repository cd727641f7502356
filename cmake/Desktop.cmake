# What a Linux desktop expects of an application: its id, the desktop entry and AppStream metainfo
# (both checked by the tests), hicolor icons rendered from the SVG, and the man page.
set(TICOVA_APP_ID io.github.ticova.Ticova)
set(TICOVA_DESKTOP_FILE ${CMAKE_SOURCE_DIR}/Res/Desktop/${TICOVA_APP_ID}.desktop)
set(TICOVA_METAINFO_FILE ${CMAKE_SOURCE_DIR}/Res/Desktop/${TICOVA_APP_ID}.metainfo.xml)
set(TICOVA_ICON_SVG ${CMAKE_SOURCE_DIR}/Res/Art/ticova.svg)
set(TICOVA_ICON_SIZES 16 24 32 48 64 128 256 512)

find_program(RSVG_CONVERT rsvg-convert)
find_program(PANDOC pandoc)
find_program(GZIP gzip)
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(APPSTREAMCLI appstreamcli)

if(TARGET ticova)
  target_compile_definitions(ticova PRIVATE TICOVA_APP_ID="${TICOVA_APP_ID}")
  target_compile_definitions(ticova-window PRIVATE TICOVA_APP_ID="${TICOVA_APP_ID}")

  # The PNG icons, one per size, under icons/<size>x<size>/ in the build folder.
  if(RSVG_CONVERT)
    set(TICOVA_ICONS)
    foreach(_size ${TICOVA_ICON_SIZES})
      set(_png ${CMAKE_BINARY_DIR}/icons/${_size}x${_size}/${TICOVA_APP_ID}.png)
      add_custom_command(OUTPUT ${_png}
                         COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${_size}x${_size}
                         COMMAND ${RSVG_CONVERT} -w ${_size} -h ${_size} -o ${_png} ${TICOVA_ICON_SVG}
                         DEPENDS ${TICOVA_ICON_SVG} VERBATIM)
      list(APPEND TICOVA_ICONS ${_png})
    endforeach()
    add_custom_target(TicovaIcons ALL DEPENDS ${TICOVA_ICONS})
  else()
    message(WARNING "rsvg-convert not found (scripts/install-deps installs it): no PNG icons")
  endif()

  # The man page, from Markdown, with the project's version in its footer.
  if(PANDOC AND GZIP)
    configure_file(${CMAKE_SOURCE_DIR}/Doc/ticova.1.md ${CMAKE_BINARY_DIR}/man/ticova.1.md @ONLY)
    set(TICOVA_MAN_PAGE ${CMAKE_BINARY_DIR}/man/ticova.1.gz)
    add_custom_command(OUTPUT ${TICOVA_MAN_PAGE}
                       COMMAND ${PANDOC} -s -f markdown -t man -o ${CMAKE_BINARY_DIR}/man/ticova.1
                               ${CMAKE_BINARY_DIR}/man/ticova.1.md
                       COMMAND ${GZIP} -n -9 -f ${CMAKE_BINARY_DIR}/man/ticova.1
                       DEPENDS ${CMAKE_BINARY_DIR}/man/ticova.1.md
                       COMMENT "Writing the man page ticova.1" VERBATIM)
    add_custom_target(TicovaManPage ALL DEPENDS ${TICOVA_MAN_PAGE})
  else()
    message(WARNING "pandoc not found (scripts/install-deps installs it): no man page")
  endif()
endif()

if(NOT TICOVA_FUZZ)
  if(DESKTOP_FILE_VALIDATE)
    add_test(NAME DesktopEntryValid COMMAND ${DESKTOP_FILE_VALIDATE} ${TICOVA_DESKTOP_FILE})
    # It passes with warnings and hints: they fail this test too.
    set_tests_properties(DesktopEntryValid PROPERTIES LABELS Desktop FAIL_REGULAR_EXPRESSION "warning:|error:|hint:")
  endif()
  if(APPSTREAMCLI)
    add_test(NAME MetainfoValid COMMAND ${APPSTREAMCLI} validate --no-net ${TICOVA_METAINFO_FILE})
    set_tests_properties(MetainfoValid PROPERTIES LABELS Desktop)
  endif()
endif()
