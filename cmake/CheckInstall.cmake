# ctest install_tree: installs the build into a scratch DESTDIR and checks that
# every file the desktop needs lands where it looks for it.
#   cmake -DBUILD_DIR=... -DSCRATCH=... -DWITH_CLI=ON|OFF -P CheckInstall.cmake
file(REMOVE_RECURSE "${SCRATCH}")
set(ENV{DESTDIR} "${SCRATCH}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix /usr/local
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

set(root "${SCRATCH}/usr/local")
set(expected
  bin/cartola
  share/applications/cartola.desktop
  share/icons/hicolor/scalable/apps/cartola.svg
  share/metainfo/example.orley_software.cartola.metainfo.xml
  share/man/man1/cartola.1.gz)
if(WITH_CLI)
  list(APPEND expected bin/cartola-list share/man/man1/cartola-list.1.gz)
endif()
foreach(f IN LISTS expected)
  if(NOT EXISTS "${root}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

# The launcher starts what was installed and shows the installed icon.
file(STRINGS "${root}/share/applications/cartola.desktop" exec REGEX "^(Exec|Icon)=")
if(NOT exec STREQUAL "Exec=cartola;Icon=cartola" AND NOT exec STREQUAL "Icon=cartola;Exec=cartola")
  message(FATAL_ERROR "launcher lines: ${exec}")
endif()
file(REMOVE_RECURSE "${SCRATCH}")
