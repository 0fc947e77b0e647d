# `make install` and `make package`: the programs, the launcher, the icon, the
# AppStream metainfo and the man pages, and a Debian package of all of them.
include(GNUInstallDirs)

install(TARGETS cartola RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Man pages are installed compressed, as Debian's policy and man-db expect;
# -n keeps the name and time out, so the bytes are the same every build.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(man_pages cartola)
# cli/ installs its own executable; only its man page is ours.
if(TARGET cartola-list)
  list(APPEND man_pages cartola-list)
endif()
foreach(page IN LISTS man_pages)
  set(source ${CMAKE_SOURCE_DIR}/data/${page}.1)
  set(packed ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${CMAKE_BINARY_DIR}/man/${page}.1
    COMMAND ${GZIP_PROGRAM} -9nf ${CMAKE_BINARY_DIR}/man/${page}.1
    DEPENDS ${source} VERBATIM)
  list(APPEND packed_pages ${packed})
  install(FILES ${packed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${packed_pages})
install(FILES ${CMAKE_SOURCE_DIR}/data/cartola.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/cartola.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/data/example.orley_software.cartola.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cartola)
set(CPACK_PACKAGE_VENDOR "Orley Software")
set(CPACK_PACKAGE_CONTACT "Orley Software <cartola@orley-software.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "folder lister with preview and export")
set(CPACK_PACKAGE_DESCRIPTION
  "Lists a folder's files, previews pictures, text files and ZIP archives, and exports the listing as text, CSV, HTML, a spreadsheet file or clipboard text.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.orley-software.example/cartola")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The shared libraries come from dpkg-shlibdeps; the toolkit's plugins are
# loaded at run time, so no linker sees them: the window needs a platform
# plugin, and the previews read jpeg, gif, webp and svg through image plugins.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-image-formats-plugins, libqt6svg6")
# GIO finds the application for a file type through these.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, xdg-utils")
include(CPack)
