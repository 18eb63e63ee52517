# Install rules (GNU folders) and the Debian package made with CPack.
include(GNUInstallDirs)

set(HOLMTEX_DESKTOP_ID de.holmtex.Notiz)
set(HOLMTEX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/holmtex)
set(HOLMTEX_SIBLING_DIR ${CMAKE_INSTALL_LIBEXECDIR}/holmtex)
# Never group-writable folders, whatever the umask of the one who packs.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The program finds krumo-34 beside itself or in ../libexec/holmtex; say so when the chosen
# folders break that.
file(RELATIVE_PATH _sibling_from_bin "/prefix/${CMAKE_INSTALL_BINDIR}"
     "/prefix/${HOLMTEX_SIBLING_DIR}")
if(NOT _sibling_from_bin STREQUAL "../libexec/holmtex")
  message(WARNING "krumo-34 is installed to ${HOLMTEX_SIBLING_DIR}, which holmtex in "
                  "${CMAKE_INSTALL_BINDIR} does not search (it looks in ../libexec/holmtex)")
endif()

install(TARGETS holmtex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS krumo-34 RUNTIME DESTINATION ${HOLMTEX_SIBLING_DIR})
install(FILES data/${HOLMTEX_DESKTOP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/${HOLMTEX_DESKTOP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY data/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# Manual pages and the change log go compressed, as Debian wants them (gzip -9n: no name,
# no time stamp, so every build gives the same bytes).
set(_gz_dir ${CMAKE_CURRENT_BINARY_DIR}/compressed)
set(_gz_files)
foreach(_pair "data/man/holmtex.1|man/holmtex.1" "data/man/holmtex.de.1|man-de/holmtex.1"
              "packaging/changelog|doc/changelog")
  string(REPLACE "|" ";" _pair "${_pair}")
  list(GET _pair 0 _source)
  list(GET _pair 1 _target)
  add_custom_command(
    OUTPUT ${_gz_dir}/${_target}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${_source} ${_gz_dir}/${_target}
    COMMAND gzip -9nf ${_gz_dir}/${_target}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${_source}
    COMMENT "Compressing ${_source}"
    VERBATIM)
  list(APPEND _gz_files ${_gz_dir}/${_target}.gz)
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${_gz_files})
install(FILES ${_gz_dir}/man/holmtex.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_gz_dir}/man-de/holmtex.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/de/man1)
install(FILES LICENSE packaging/copyright ${_gz_dir}/doc/changelog.gz
        DESTINATION ${HOLMTEX_DOC_DIR})

# The Debian package: cpack -G DEB in the build folder (make deb).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME holmtex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Holmtex")
set(CPACK_PACKAGE_CONTACT "Holmtex Notiz <notiz@holmtex.de>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "notebook for note pages about families (German)")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Holmtex Notiz keeps note pages (Merkseiten) about families: four families\n"
       "to a page, each with father, mother, wedding date, up to six children and a\n"
       "remark, plus a free text and a process number. Pages are saved into three\n"
       "lists kept as plain text files. The window lists, opens, searches, moves and\n"
       "deletes them, corrects a page where it stands, writes a page as a readable\n"
       "text file and carries pages to another computer through a transfer file.\n"
       "It prints a page as a family-group sheet or saves it as PDF, exports the\n"
       "lists as GEDCOM and reads GEDCOM files from genealogy programs into pages.\n"
       "Every change of a list is kept in a history, so that a wrong delete is\n"
       "taken back with zurück! and done again with wieder!. A working folder kept\n"
       "in step by a sync engine loses no page: a second version of a list is\n"
       "noticed and merged. The program speaks German.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://holmtex.de/notiz/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries: the window system plug-in, Qt's German texts, the window's fonts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, fonts-liberation2")
include(CPack)
