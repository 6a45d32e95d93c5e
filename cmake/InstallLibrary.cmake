# The library for other programs: the static library, its headers, a CMake
# package (find_package(zolt) gives zolt::zolt) and a pkg-config file. None
# of it goes into the program's Debian package.
include(CMakePackageConfigHelpers)

install(TARGETS zolt zolt_netcdf EXPORT zoltTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/zolt DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev FILES_MATCHING PATTERN "*.h")
install(FILES ${CMAKE_BINARY_DIR}/include/zolt/version.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zolt COMPONENT dev)

set(zoltCMakeDir ${CMAKE_INSTALL_LIBDIR}/cmake/zolt)
install(EXPORT zoltTargets NAMESPACE zolt:: DESTINATION ${zoltCMakeDir} COMPONENT dev)
configure_package_config_file(cmake/zoltConfig.cmake.in ${CMAKE_BINARY_DIR}/zoltConfig.cmake
                              INSTALL_DESTINATION ${zoltCMakeDir})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/zoltConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_BINARY_DIR}/zoltConfig.cmake ${CMAKE_BINARY_DIR}/zoltConfigVersion.cmake
        DESTINATION ${zoltCMakeDir} COMPONENT dev)

# Relative to where pkg-config finds the file, so that any --prefix of
# cmake --install holds.
file(RELATIVE_PATH pkgConfigToPrefix "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
configure_file(cmake/zolt.pc.in ${CMAKE_BINARY_DIR}/zolt.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/zolt.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
