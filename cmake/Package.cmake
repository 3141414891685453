# The program folder as a zip a Windows user unpacks and runs: TessaraFolder.exe with GT,
# Setting.ini, start.wav and, when the build made it, imglib/. `cmake --build build --target package`
# writes build/TessaraFolder-<version>-win64.zip.
set(TF_VERSION_TEXT "0.99c")
install(TARGETS TessaraFolder RUNTIME DESTINATION .)
install(FILES ${TF_BIN_DIR}/GT ${TF_BIN_DIR}/Setting.ini ${TF_BIN_DIR}/start.wav DESTINATION .)
install(DIRECTORY ${TF_BIN_DIR}/imglib DESTINATION . OPTIONAL)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME TessaraFolder)
set(CPACK_PACKAGE_VENDOR TessaraFolder)
set(CPACK_PACKAGE_VERSION ${TF_VERSION_TEXT})
set(CPACK_PACKAGE_FILE_NAME TessaraFolder-${TF_VERSION_TEXT}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
include(CPack)

# The per-user installer: `cmake --build build --target installer` writes
# build/TessaraFolder-<version>-setup.exe with NSIS's makensis (Installer/TessaraFolder.nsi).
find_program(TF_MAKENSIS makensis)
if(TF_MAKENSIS)
  set(TF_SETUP ${CMAKE_BINARY_DIR}/TessaraFolder-${TF_VERSION_TEXT}-setup.exe)
  set(TF_NSI ${CMAKE_SOURCE_DIR}/Installer/TessaraFolder.nsi)
  add_custom_command(OUTPUT ${TF_SETUP}
    COMMAND ${TF_MAKENSIS} -V2 -DVERSION=${TF_VERSION_TEXT} -DBINDIR=${TF_BIN_DIR}
            -DICON=${CMAKE_SOURCE_DIR}/Resources/icons/app.ico -DOUTFILE=${TF_SETUP} ${TF_NSI}
    DEPENDS ${TF_NSI} TessaraFolder imgctl ifpnm ${TF_BIN_DIR}/GT ${TF_BIN_DIR}/Setting.ini ${TF_BIN_DIR}/start.wav
    COMMENT "Building the installer ${TF_SETUP}")
  add_custom_target(installer DEPENDS ${TF_SETUP})
else()
  message(STATUS "makensis not found: no installer target")
endif()
