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
