# Installation of the libraries and programs as one CMake package, KXEquation; KxPackage.cmake,
# included last, writes the package's configuration and the Debian package settings.
include(GNUInstallDirs)

# Every public header goes flat into one folder, as the sources include each other by bare name.
set(KX_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/kxequation)
set(KX_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/KXEquation)

# kx_public_headers(TARGET HEADER...): headers of the library that a consumer needs, installed
# beside those of the other libraries; the others stay private. Paths are relative to the calling
# folder.
function(kx_public_headers target)
    install(FILES ${ARGN} DESTINATION ${KX_INSTALL_INCLUDEDIR})
endfunction()

# kx_install_library(TARGET): installs a shared library with its version, its public headers and
# its imported target KXEquation::TARGET. The Qt components the package configuration looks for
# are read from the target's links, so call this after target_link_libraries.
function(kx_install_library target)
    set_target_properties(${target} PROPERTIES
        VERSION ${PROJECT_VERSION}
        SOVERSION ${PROJECT_VERSION_MAJOR}
        INSTALL_RPATH "$ORIGIN")
    target_include_directories(${target} INTERFACE $<INSTALL_INTERFACE:${KX_INSTALL_INCLUDEDIR}>)
    install(TARGETS ${target} EXPORT KXEquationTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

    # Qt components of this library and of the project's libraries below it.
    get_target_property(links ${target} LINK_LIBRARIES)
    set(components)
    foreach(link IN LISTS links)
        if(link MATCHES "^Qt5::(.+)$")
            list(APPEND components ${CMAKE_MATCH_1})
        elseif(TARGET ${link})
            get_property(below GLOBAL PROPERTY KX_QT_COMPONENTS_${link})
            list(APPEND components ${below})
        endif()
    endforeach()
    list(REMOVE_DUPLICATES components)
    set_property(GLOBAL PROPERTY KX_QT_COMPONENTS_${target} ${components})
    set_property(GLOBAL APPEND PROPERTY KX_INSTALLED_LIBRARIES ${target})
endfunction()

# kx_install_program(TARGET): installs a program that finds the libraries beside it, wherever the
# prefix is.
function(kx_install_program target)
    file(RELATIVE_PATH libraries ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${libraries}")
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
