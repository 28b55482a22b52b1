# Installation layout and the Debian package (cpack -G DEB in the build folder).
# <prefix>/bin holds both programs; <prefix>/share/tolvan holds the manual that
# Help > Contents opens (its presence also tells the program it is installed,
# so settings go to the user's config folder).
include(GNUInstallDirs)

if(TARGET tolvan)
  install(TARGETS tolvan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# tolvan-cli runs tolvan-rtf from its own folder for the rtf command.
install(TARGETS tolvan-cli tolvan-rtf RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/Tolvan.txt DESTINATION ${CMAKE_INSTALL_DATADIR}/tolvan)
install(FILES ${CMAKE_SOURCE_DIR}/data/tolvan.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/org.tolvan.tolvan.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/icons/hicolor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
# Manual pages go in compressed, as Debian keeps them.
foreach(page tolvan.1 tolvan-cli.1 tolvan-rtf.1)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
  execute_process(COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/data/man/${page}
                  OUTPUT_FILE ${CMAKE_BINARY_DIR}/man/${page}.gz)
  install(FILES ${CMAKE_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/data/man/tolvan.1 ${CMAKE_SOURCE_DIR}/data/man/tolvan-cli.1
             ${CMAKE_SOURCE_DIR}/data/man/tolvan-rtf.1)

# Debian's documentation folder: the copyright file as it is, the changelog
# compressed (a native package's changelog.gz). The changelog's newest entry
# must name this version.
file(STRINGS ${CMAKE_SOURCE_DIR}/data/debian/changelog tolvan_changelog_head LIMIT_COUNT 1)
if(NOT tolvan_changelog_head MATCHES "^tolvan \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "data/debian/changelog does not begin with version ${PROJECT_VERSION}")
endif()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/debian)
execute_process(COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/data/debian/changelog
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/debian/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/data/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tolvan)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/data/debian/changelog)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Veyran <veyran@tolvan.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tamil word processor for an ordinary Latin keyboard")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Write Tamil in TSCII with the Anjal phonetic, Mylai, Typewriter and\nRomanised layouts; convert between Tamil encodings, apply font maps,\nencrypt text and files, and show file checksums. Includes tolvan-cli.")
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.tolvan.org/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# TSCII documents are drawn in Debian's TSCII fonts, Unicode documents in Lohit
# Tamil; xdg-utils opens mail and web links. The document's undo limit reads
# Qt's private text document and the PDF export extends Qt's private PDF
# engine, whose layouts belong to one Qt release: the package needs exactly
# the Qt it was built with.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-taml-tscu, fonts-lohit-taml, qt6-base-abi (= ${Qt6_VERSION})")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
