# The desktop program's documentation as Debian wants it (a gzipped manual
# page and changelog, a copyright file in the package's own doc folder), and
# CPack's settings for `cpack -G DEB`, which packages the install rules.
# Included from the top-level CMakeLists where the program is defined.

set(kp_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/kelvane-paint)
set(kp_generated ${CMAKE_CURRENT_BINARY_DIR}/packaging)

# gzip -9n: best compression and no name or time stamp in the header, so
# that the same sources give the same bytes.
configure_file(${KP_PACKAGING_DIR}/kelvane-paint.1 ${kp_generated}/kelvane-paint.1 @ONLY)
configure_file(${KP_PACKAGING_DIR}/debian/changelog.in ${kp_generated}/changelog @ONLY)
set(kp_gzipped)
foreach(name kelvane-paint.1 changelog)
  add_custom_command(OUTPUT ${kp_generated}/${name}.gz
                     COMMAND sh -c "gzip -9n -c '${kp_generated}/${name}' > '${kp_generated}/${name}.gz'"
                     DEPENDS ${kp_generated}/${name} VERBATIM)
  list(APPEND kp_gzipped ${kp_generated}/${name}.gz)
endforeach()
add_custom_target(kp_packaging_docs ALL DEPENDS ${kp_gzipped})

install(FILES ${kp_generated}/kelvane-paint.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KP_PACKAGING_DIR}/debian/copyright ${kp_generated}/changelog.gz
        DESTINATION ${kp_doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvane-paint)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kelvane Paint")
set(CPACK_PACKAGE_CONTACT
    "Kelvane Paint maintainers <maintainers@users.noreply.c-seed-7ba866ac.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small freehand drawing program")
set(CPACK_PACKAGE_DESCRIPTION
    "Kelvane Paint opens one window with a white drawing surface. Dragging with the
left mouse button draws a line that follows the pointer; a right click picks a
random pen, a random colour and a width from 0 to 9. The picture survives the
window being covered, minimized, shrunk and enlarged again. There is no menu,
no file and no undo: closing the window discards the picture.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends computed from the program's own ELF dependencies by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# On a Wayland compositor that draws no title bars SDL draws them with
# libdecor, whose drawing comes in a plugin that libdecor only recommends.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libdecor-0-plugin-1-cairo | libdecor-0-plugin-1")
include(CPack)
