# Read by cpack once per generator (CPACK_PROJECT_CONFIG_FILE): the installer
# is kelvane-paint-<version>-setup.exe; the zip keeps CPack's name,
# kelvane-paint-<version>-win32.zip.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-setup")
endif()
