# Installation in the usual FHS layout and the Debian package (`make package`).
#
#   lib/tessaline/tessaline                the Tessaline pack's program (real file)
#   lib/tessaline/tessaline.dic            its dictionary (Russian), which the
#                                          program looks for beside its real file
#   bin/tessaline -> ../lib/tessaline/tessaline
#   bin/tessaline-pack                     makes packs; its default base is the
#                                          tessaline beside it
#   share/tessaline/tessaline-de.dic       the German sample dictionary
#   share/applications/tessaline.desktop   the desktop entry
#   share/metainfo/org.tessaline.Tessaline.metainfo.xml
#   share/icons/hicolor/32x32/apps/tessaline.png
#   share/man/man1/tessaline.1.gz, tessaline-pack.1.gz
#   share/doc/tessaline/                   README.md, copyright (machine-readable),
#                                          changelog.Debian.gz
#   share/lintian/overrides/tessaline      what lintian is told to leave
#
# The package's binaries are stripped (CPACK_STRIP_FILES); the resource
# sections are not loaded sections, which strip keeps.
include(GNUInstallDirs)

set(TESSALINE_PACKAGE_RELEASE 1)
set(program_dir lib/tessaline)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/tessaline)

# Manual pages and the changelog, compressed as Debian wants them: at the
# best ratio and without a time stamp, so that every build gives the same
# bytes.
set(compressed "")
foreach(source docs/tessaline.1 docs/tessaline-pack.1 resources/debian/changelog)
  get_filename_component(name ${source} NAME)
  set(output ${PROJECT_BINARY_DIR}/package-files/${name}.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/package-files
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/${source} > ${output}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source}
    COMMENT "Compressing ${name}")
  list(APPEND compressed ${output})
endforeach()
add_custom_target(tessaline_package_files ALL DEPENDS ${compressed})
set(package_files ${PROJECT_BINARY_DIR}/package-files)

install(TARGETS tessaline RUNTIME DESTINATION ${program_dir})
install(FILES ${PROJECT_SOURCE_DIR}/resources/tessaline.dic DESTINATION ${program_dir})
install(TARGETS tessaline-pack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (the package's) also drops the compiler's notes, as
# dh_strip does; the resource sections stay.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${program_dir}/tessaline\"
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tessaline-pack\"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()")
install(CODE "
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  file(CREATE_LINK ../${program_dir}/tessaline
       \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tessaline\" SYMBOLIC)")
install(FILES ${PROJECT_SOURCE_DIR}/resources/tessaline-de.dic
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tessaline)
install(FILES ${PROJECT_SOURCE_DIR}/resources/tessaline.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/org.tessaline.Tessaline.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps
        RENAME tessaline.png)
install(FILES ${package_files}/tessaline.1.gz ${package_files}/tessaline-pack.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/resources/debian/copyright
        DESTINATION ${doc_dir})
install(FILES ${package_files}/changelog.gz DESTINATION ${doc_dir} RENAME changelog.Debian.gz)
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tessaline)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaline)
set(CPACK_PACKAGE_VENDOR "Tessaline developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-installing card pack for the Wenlora card game")
# The extended description; CPack puts the summary before it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tessaline shows the 32 cards of its deck in a window and installs the
pack into the Wenlora game's folder, recording it where the game looks
for it.
.
The tessaline-pack command makes a new pack from a sheet of 36 card
pictures, a title and a number, without a compiler.")
set(CPACK_PACKAGE_CONTACT "Tessaline developers <tessaline@tessaline.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tessaline.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TESSALINE_PACKAGE_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Not "games": its programs live in /usr/bin, beside the tools, not in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
# Folders 0755 whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
