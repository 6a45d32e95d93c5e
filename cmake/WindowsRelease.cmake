# What a Windows build makes besides decode.exe: the release zip,
# decode-<version>-windows-x86_64.zip, with the licence, the changelog and
# the manual as a page of HTML, made by cpack. The tests of the Windows
# build run under Wine from .ci/windows.sh, against the Linux build.
find_program(MANDOC mandoc REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/decode.html
  COMMAND ${MANDOC} -Thtml ${PROJECT_SOURCE_DIR}/doc/decode.1 > ${CMAKE_BINARY_DIR}/decode.html
  DEPENDS ${PROJECT_SOURCE_DIR}/doc/decode.1)
add_custom_target(manualPage ALL DEPENDS ${CMAKE_BINARY_DIR}/decode.html)

install(TARGETS decode RUNTIME DESTINATION . COMPONENT decode)
install(FILES LICENSE CHANGELOG.md ${CMAKE_BINARY_DIR}/decode.html DESTINATION . COMPONENT decode)
# The page that decodes in the browser is the same for every system: a
# release takes it from the build that made it.
set(DECODE_WEB_PAGE_FILE "" CACHE FILEPATH "decode-web.html, made by a build with the WebAssembly toolchain")
if(DECODE_WEB_PAGE_FILE)
  install(FILES ${DECODE_WEB_PAGE_FILE} DESTINATION . COMPONENT decode)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME decode)
set(CPACK_PACKAGE_FILE_NAME decode-${PROJECT_VERSION}-windows-x86_64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)

# The system layer's own tests, run under Wine: GoogleTest is built from the
# sources Debian ships with it, as there is no Windows build of it to link.
set(googletestSource /usr/src/googletest)
if(DECODE_TESTS AND EXISTS ${googletestSource}/CMakeLists.txt)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${googletestSource} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  add_executable(windows_tests tests/core/fileSystemTest.cpp src/cli/processSetupWindows.cpp)
  target_include_directories(windows_tests PRIVATE src)
  target_link_libraries(windows_tests PRIVATE zolt GTest::gtest_main decode_warnings)
  target_link_options(windows_tests PRIVATE -static)
  add_executable(holdLocked tests/windows/holdLocked.cpp)
  target_link_options(holdLocked PRIVATE -static -municode)
endif()
