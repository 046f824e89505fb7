# What `cmake --install` puts under the prefix: the framework, host and format
# interface libraries with their public headers, the format module where
# bmptool and hosts look for it, the tool with its manual page and completion,
# a CMake package and a pkg-config file. Also the Debian package (cpack -G DEB).
include(CMakePackageConfigHelpers)

# The module's folder is lib/kestrel/modules beside the tool's bin, whatever
# the platform's multiarch library folder would be.
set(BMP_INSTALL_MODULE_DIR lib/kestrel/modules)
set(BMP_INSTALL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/BmpFormat)

# Installed programs and the module find the libraries relative to themselves.
file(RELATIVE_PATH bmp_bin_to_lib /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
file(RELATIVE_PATH bmp_module_to_lib /${BMP_INSTALL_MODULE_DIR} /${CMAKE_INSTALL_LIBDIR})
set_target_properties(bmptool PROPERTIES INSTALL_RPATH "$ORIGIN/${bmp_bin_to_lib}")
set_target_properties(BmpFormat PROPERTIES INSTALL_RPATH "$ORIGIN/${bmp_module_to_lib}")

# The public headers are C++20 (defaulted comparisons among others): a program
# that links the exported targets gets the standard with them, through
# Kestrel, which the other two link publicly.
target_compile_features(Kestrel INTERFACE cxx_std_20)
install(TARGETS Kestrel ImageHost BmpFormatApi EXPORT BmpFormatTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY Kestrel/inc/Kes ImageHost/inc/ImageHost Image/Formats/Bmp/Inc/Bmp
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")
install(TARGETS BmpFormat LIBRARY DESTINATION ${BMP_INSTALL_MODULE_DIR})
install(TARGETS bmptool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
configure_file(Tools/bmptool/bmptool.1.in ${CMAKE_BINARY_DIR}/share/man/man1/bmptool.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/share/man/man1/bmptool.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(EXPORT BmpFormatTargets NAMESPACE Bmp:: DESTINATION ${BMP_INSTALL_CMAKE_DIR})
configure_package_config_file(cmake/BmpFormatConfig.cmake.in ${CMAKE_BINARY_DIR}/BmpFormatConfig.cmake
                              INSTALL_DESTINATION ${BMP_INSTALL_CMAKE_DIR} PATH_VARS BMP_INSTALL_MODULE_DIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/BmpFormatConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/BmpFormatConfig.cmake ${CMAKE_BINARY_DIR}/BmpFormatConfigVersion.cmake
        DESTINATION ${BMP_INSTALL_CMAKE_DIR})
configure_file(cmake/bmpformat.pc.in ${CMAKE_BINARY_DIR}/bmpformat.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/bmpformat.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME bmpformat)
set(CPACK_PACKAGE_CONTACT "BMP module maintainers <bmp-module@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "BMP format module, its framework and host libraries, and bmptool")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# Depends comes from the shared libraries the binaries link (libpng, libc, ...);
# the package's own libraries are resolved inside it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
include(CPack)
