# Ticova.pdf, the manual, is made by the build from Doc/Manual.md with Qt's own PDF writer and
# placed beside the program.
if(TARGET Qt6::Gui)
  add_executable(make-manual ${CMAKE_SOURCE_DIR}/Doc/make-manual.cpp)
  target_link_libraries(make-manual PRIVATE Qt6::Gui)
  set(TICOVA_MANUAL ${CMAKE_BINARY_DIR}/Ticova.pdf)
  add_custom_command(OUTPUT ${TICOVA_MANUAL}
                     COMMAND make-manual ${CMAKE_SOURCE_DIR}/Doc/Manual.md ${TICOVA_MANUAL}
                     DEPENDS make-manual ${CMAKE_SOURCE_DIR}/Doc/Manual.md
                     COMMENT "Writing the manual Ticova.pdf" VERBATIM)
  add_custom_target(TicovaManual ALL DEPENDS ${TICOVA_MANUAL})
endif()
