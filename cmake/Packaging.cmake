# Installation in the usual FHS layout and the Debian package (`make package`).
#
#   bin/tessaline                          the installer of the Tessaline pack
#   bin/tessaline.dic                      its dictionary (Russian sample)
#   share/tessaline/tessaline-de.dic       the German sample dictionary
#   share/applications/tessaline.desktop   the desktop entry
#   share/icons/hicolor/32x32/apps/tessaline.png
#   share/doc/tessaline/README.md
include(GNUInstallDirs)

install(TARGETS tessaline RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/tessaline.dic
        DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/tessaline-de.dic
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tessaline)
install(FILES ${PROJECT_SOURCE_DIR}/resources/tessaline.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME tessaline.png)
install(FILES ${PROJECT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tessaline)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaline)
set(CPACK_PACKAGE_VENDOR "Tessaline developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tessaline card pack for the Wenlora card game")
set(CPACK_PACKAGE_DESCRIPTION
    "A self-installing card pack: shows the 32 cards of the Tessaline deck and installs the pack into the Wenlora game's folder.")
set(CPACK_PACKAGE_CONTACT "Tessaline developers <tessaline@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
