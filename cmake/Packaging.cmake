# `make package`: a Debian package of the three programs with the desktop entry, the MIME
# type, the icons and the help pages. Debian works out the libraries it depends on.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/help/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/notarium/help)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME notarium)
set(CPACK_PACKAGE_VENDOR "Kestrelworks")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Notarium Developers <dev@notarium.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "personal text database in one file")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Notarium keeps short texts in a tree of folders inside one data file (.Nota). The\n"
       "package holds the window program notarium, the repair utility notafix and the\n"
       "command line nota (create, list, read, write, export, import, compact, check, repair).")
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
