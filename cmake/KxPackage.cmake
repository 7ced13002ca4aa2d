# The package configuration of the libraries that kx_install_library installed, and the Debian
# package of the whole install; included at the end of the top-level CMakeLists.txt.
include(CMakePackageConfigHelpers)

get_property(KX_PACKAGE_LIBRARIES GLOBAL PROPERTY KX_INSTALLED_LIBRARIES)
set(KX_PACKAGE_QT_COMPONENTS "")
foreach(library IN LISTS KX_PACKAGE_LIBRARIES)
    get_property(components GLOBAL PROPERTY KX_QT_COMPONENTS_${library})
    string(APPEND KX_PACKAGE_QT_COMPONENTS "set(_KXEquation_qt_${library} ${components})\n")
endforeach()

install(EXPORT KXEquationTargets NAMESPACE KXEquation:: DESTINATION ${KX_INSTALL_CMAKEDIR})
configure_package_config_file(cmake/KXEquationConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/KXEquationConfig.cmake
    INSTALL_DESTINATION ${KX_INSTALL_CMAKEDIR})
# Until 1.0 a minor version may change the interface.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/KXEquationConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/KXEquationConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/KXEquationConfigVersion.cmake
        DESTINATION ${KX_INSTALL_CMAKEDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kxequation)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Equation module team")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Equation module: formula tables as a Qt library, with its tools")
set(CPACK_PACKAGE_DESCRIPTION "The equation module's libraries (kxhost, kxequation and their widget\nlayers kxhostui, kxequationui), their headers and CMake package KXEquation, the command-line\ntool kxequation and the desktop host kxequation-desktop.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Equation module team <dev@example.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# dpkg-shlibdeps (package dpkg-dev) reads the Qt libraries the binaries link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A consumer compiles against the Qt headers that the installed headers include.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qtbase5-dev")
include(CPack)
