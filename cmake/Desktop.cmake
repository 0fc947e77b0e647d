# The window's bundled icon and the checks of the desktop files.
target_sources(cartola_app PRIVATE ${CMAKE_SOURCE_DIR}/data/cartola_icons.qrc)

if(CARTOLA_TESTS)
  # Runs the freedesktop validators where they are installed; skipped otherwise.
  add_test(NAME desktop_files_validate
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-desktop-files ${CMAKE_SOURCE_DIR}/data)
  set_tests_properties(desktop_files_validate PROPERTIES SKIP_RETURN_CODE 77)

  if(TARGET cartola-list)
    set(_cartola_with_cli ON)
  else()
    set(_cartola_with_cli OFF)
  endif()
  add_test(NAME install_tree
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DSCRATCH=${CMAKE_BINARY_DIR}/install-check
      -DWITH_CLI=${_cartola_with_cli} -P ${CMAKE_SOURCE_DIR}/cmake/CheckInstall.cmake)
endif()
