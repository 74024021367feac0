# `make package`: a Debian package of the three programs with the desktop entry, the MIME
# type, the icons, the help pages, the manual pages and the bash completion. Debian works out
# the libraries it depends on.
set(NOTA_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/notarium)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/help/ DESTINATION ${NOTA_DOC_DIR}/help)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright DESTINATION ${NOTA_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/doc-base DESTINATION ${CMAKE_INSTALL_DATADIR}/doc-base
        RENAME notarium)
install(FILES ${PROJECT_SOURCE_DIR}/completions/nota
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# Manual pages and the changelog are installed compressed, as Debian keeps them; gzip -n
# leaves out the time, so the package is the same from one build to the next.
set(NOTA_GZIPPED)
foreach(source man/nota.1 man/notarium.1 man/notafix.1 resources/debian/changelog)
  get_filename_component(name ${source} NAME)
  set(gz ${CMAKE_BINARY_DIR}/gz/${name}.gz)
  add_custom_command(OUTPUT ${gz}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/gz
                     COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/${source} > ${gz}
                     DEPENDS ${PROJECT_SOURCE_DIR}/${source} VERBATIM)
  list(APPEND NOTA_GZIPPED ${gz})
  if(source MATCHES "^man/")
    install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    install(FILES ${gz} DESTINATION ${NOTA_DOC_DIR})
  endif()
endforeach()
add_custom_target(notadocs ALL DEPENDS ${NOTA_GZIPPED})

# In a staging root (the package) the programs lose their symbols and the compiler's notes,
# as Debian's own packages do; CPack's strip leaves the notes.
install(CODE "set(NOTA_STRIP \"${CMAKE_STRIP}\")")
install(CODE [[
  if(DEFINED ENV{DESTDIR} AND NOT "$ENV{DESTDIR}" STREQUAL "" AND NOTA_STRIP)
    foreach(program notarium notafix nota)
      set(file "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/${program}")
      if(EXISTS "${file}")
        execute_process(COMMAND "${NOTA_STRIP}" --strip-unneeded --remove-section=.comment
                                --remove-section=.note "${file}")
      endif()
    endforeach()
  endif()
]])

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME notarium)
set(CPACK_PACKAGE_VENDOR "Kestrelworks")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Notarium Developers <dev@notarium.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "personal text database in one file")
# Lines of at most 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Notarium keeps short texts in a tree of folders inside one data file\n"
       "(.Nota). The package holds the window program notarium, the repair\n"
       "utility notafix and the command line nota (create, list, read, write,\n"
       "export, import, compact, check, repair).")
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installed into a staging root: the desktop caches are refreshed by the system's own
# triggers when the package is installed, not while it is built.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils")
include(CPack)
