# The installed surface: the tolvane program, the shared library with its
# public C header in include/tolvane, and a CMake package so that a host
# project finds it with find_package(Tolvane).
include(CMakePackageConfigHelpers)

install(TARGETS tolvane_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS tolvane_shared EXPORT TolvaneTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/tolvane/tolvane.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tolvane)

set(TOLVANE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tolvane)
install(EXPORT TolvaneTargets NAMESPACE Tolvane:: DESTINATION ${TOLVANE_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/TolvaneConfig.cmake.in
  ${PROJECT_BINARY_DIR}/TolvaneConfig.cmake INSTALL_DESTINATION ${TOLVANE_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TolvaneConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/TolvaneConfig.cmake ${PROJECT_BINARY_DIR}/TolvaneConfigVersion.cmake
  DESTINATION ${TOLVANE_CMAKE_DIR})

# The window layouts and the images and help pages the windows show, for the
# application of `tolvane app` and the desktop program.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/layouts/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tolvane/layouts
  FILES_MATCHING PATTERN "*.ui")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tolvane/resources)
# The desktop program, when the Qt front end is built.
if(TARGET tolvane_gui)
  install(TARGETS tolvane_gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
