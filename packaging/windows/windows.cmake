# The Windows program as a user gets it: its version resource and icon
# compiled into kelvane-paint.exe, and `cpack` in the build folder making a
# zip (ZIP) and an installer (NSIS, from this folder's NSIS.template.in).
# Included from the top-level CMakeLists after the program's target.

enable_language(RC)

set(KP_WIN_PUBLISHER "The Kelvane Paint authors")
set(KP_WIN_COPYRIGHT "Copyright 2026 the Kelvane Paint authors")
set(kp_win_dir ${CMAKE_CURRENT_BINARY_DIR}/packaging/windows)

# The icon is drawn from the SVG at every size, not scaled down from one
# picture: Debian's rsvg-convert renders each size, icotool puts them in one
# .ico (16 to 48 as bitmaps, 256 as PNG, as Windows Vista and later read it).
find_program(KP_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(KP_ICOTOOL icotool REQUIRED)
set(kp_svg ${KP_PACKAGING_DIR}/kelvane-paint.svg)
set(KP_WIN_ICON ${kp_win_dir}/kelvane-paint.ico)
set(kp_icon_args)
set(kp_icon_pngs)
foreach(size 16 24 32 48 256)
  set(png ${kp_win_dir}/kelvane-paint-${size}.png)
  add_custom_command(OUTPUT ${png}
                     COMMAND ${KP_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${kp_svg}
                     DEPENDS ${kp_svg} VERBATIM)
  list(APPEND kp_icon_pngs ${png})
  if(size EQUAL 256)
    list(APPEND kp_icon_args --raw=${png})
  else()
    list(APPEND kp_icon_args ${png})
  endif()
endforeach()
add_custom_command(OUTPUT ${KP_WIN_ICON}
                   COMMAND ${KP_ICOTOOL} --create --output=${KP_WIN_ICON} ${kp_icon_args}
                   DEPENDS ${kp_icon_pngs} VERBATIM)

configure_file(${KP_PACKAGING_DIR}/windows/kelvane-paint.rc.in ${kp_win_dir}/kelvane-paint.rc
               @ONLY)
target_sources(kelvane-paint PRIVATE ${kp_win_dir}/kelvane-paint.rc ${KP_WIN_ICON})
set_source_files_properties(${kp_win_dir}/kelvane-paint.rc PROPERTIES OBJECT_DEPENDS
                            ${KP_WIN_ICON})

# The zip holds the program alone; the installer adds its uninstaller.
install(TARGETS kelvane-paint RUNTIME DESTINATION .)

set(CPACK_PACKAGE_NAME kelvane-paint)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR ${KP_WIN_PUBLISHER})
# The installer's own version resource wants four numbers.
set(CPACK_KP_FILE_VERSION
    ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
set(CPACK_KP_COPYRIGHT ${KP_WIN_COPYRIGHT})
set(CPACK_NSIS_MUI_ICON ${KP_WIN_ICON})
# CPack looks for NSIS.template.in here before its own.
set(CPACK_MODULE_PATH ${KP_PACKAGING_DIR}/windows)
# Per generator: kelvane-paint-<version>-setup.exe for the installer.
set(CPACK_PROJECT_CONFIG_FILE ${KP_PACKAGING_DIR}/windows/cpack-per-generator.cmake)
find_program(KP_MAKENSIS makensis)
if(KP_MAKENSIS)
  set(CPACK_GENERATOR ZIP NSIS)
else()
  set(CPACK_GENERATOR ZIP)
endif()
include(CPack)
