# Desktop integration of Notarium: the menu entry, the ".Nota" file type and the icons.
set(NOTA_RES ${PROJECT_SOURCE_DIR}/resources)
install(FILES ${NOTA_RES}/notarium.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${NOTA_RES}/notarium-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME notarium.xml)
install(FILES ${NOTA_RES}/icons/notarium.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
install(FILES ${NOTA_RES}/icons/notarium.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${NOTA_RES}/icons/application-x-notarium.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/mimetypes)
install(FILES ${NOTA_RES}/icons/application-x-notarium.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes)
install(FILES ${NOTA_RES}/sample.Nota DESTINATION ${CMAKE_INSTALL_DATADIR}/notarium OPTIONAL)
# Refresh the desktop's caches when installing into a live system (not into a staging root).
install(CODE [[
  if(NOT DEFINED ENV{DESTDIR} OR "$ENV{DESTDIR}" STREQUAL "")
    find_program(NOTA_UPDATE_MIME update-mime-database)
    if(NOTA_UPDATE_MIME)
      execute_process(COMMAND ${NOTA_UPDATE_MIME} "${CMAKE_INSTALL_PREFIX}/share/mime"
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
    find_program(NOTA_UPDATE_DESKTOP update-desktop-database)
    if(NOTA_UPDATE_DESKTOP)
      execute_process(COMMAND ${NOTA_UPDATE_DESKTOP} "${CMAKE_INSTALL_PREFIX}/share/applications"
                      OUTPUT_QUIET ERROR_QUIET)
    endif()
  endif()
]])
