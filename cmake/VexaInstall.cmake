# Installation: the shared library, the public headers, a pkg-config file and a CMake package,
# so that a game builds against an installed copy with either tool. The build tree also gets
# vexa-uninstalled.pc for building against an uninstalled copy.
include(CMakePackageConfigHelpers)

install(TARGETS vexa EXPORT vexaTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${VEXA_PUBLIC_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vexa)
install(EXPORT vexaTargets NAMESPACE vexa:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/vexa)

file(WRITE ${PROJECT_BINARY_DIR}/vexaConfig.cmake.in [=[
@PACKAGE_INIT@
include("${CMAKE_CURRENT_LIST_DIR}/vexaTargets.cmake")
]=])
configure_package_config_file(${PROJECT_BINARY_DIR}/vexaConfig.cmake.in
  ${PROJECT_BINARY_DIR}/vexaConfig.cmake INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/vexa)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vexaConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vexaConfig.cmake ${PROJECT_BINARY_DIR}/vexaConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/vexa)

set(VEXA_PC_TEMPLATE [=[
prefix=@PC_PREFIX@
libdir=@PC_LIBDIR@
includedir=@PC_INCLUDEDIR@

Name: vexa
Description: Run-time multimedia library for 2-D games
Version: @PROJECT_VERSION@
Requires.private: @VEXA_PKGCONFIG_REQUIRES@
Cflags: -I${includedir}
Libs: -L${libdir} -Wl,-rpath,${libdir} -lvexa
]=])
set(PC_PREFIX ${CMAKE_INSTALL_PREFIX})
set(PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
set(PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
string(CONFIGURE "${VEXA_PC_TEMPLATE}" VEXA_PC @ONLY)
file(WRITE ${PROJECT_BINARY_DIR}/vexa.pc "${VEXA_PC}")
install(FILES ${PROJECT_BINARY_DIR}/vexa.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(PC_PREFIX ${PROJECT_SOURCE_DIR})
set(PC_LIBDIR ${PROJECT_BINARY_DIR})
set(PC_INCLUDEDIR ${PROJECT_SOURCE_DIR}/include)
string(CONFIGURE "${VEXA_PC_TEMPLATE}" VEXA_PC_UNINSTALLED @ONLY)
file(WRITE ${PROJECT_BINARY_DIR}/pkgconfig/vexa-uninstalled.pc "${VEXA_PC_UNINSTALLED}")
