# What `cmake --install build --prefix P` puts in place: the shared libraries, the headers a host
# needs, a CMake package (find_package(ContourMap3D)) and pkg-config files.
include(CMakePackageConfigHelpers)

set(CM3D_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/contourmap3d)
set(CM3D_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/ContourMap3D)
set(CM3D_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CM3D_INSTALLED_LIBRARIES contourmap3d_core contourmap3d recordingkit viewportkit)
set_target_properties(${CM3D_INSTALLED_LIBRARIES} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
install(TARGETS ${CM3D_INSTALLED_LIBRARIES}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS contourmap-render contourmap-demo
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/mne_export.py
    DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME contourmap-mne-export)

# The facades, the renderer, the smooth field map, the recording and viewport classes with their
# fill API, and the message-box hook: everything a host calls. The window layer stays inside
# the library.
file(GLOB CM3D_INTERFACE_HEADERS ${PROJECT_SOURCE_DIR}/interfaces/*.h)
install(FILES
    ${PROJECT_SOURCE_DIR}/facade/3drenddlgface.h
    ${PROJECT_SOURCE_DIR}/facade/3drenddlgfaceqv.h
    ${PROJECT_SOURCE_DIR}/renderer/show3dcntmap.h
    ${PROJECT_SOURCE_DIR}/fieldmap/smoothfieldmap.h
    ${PROJECT_SOURCE_DIR}/platform/core/afxmsgbox.h
    ${PROJECT_SOURCE_DIR}/platform/core/cm3d_export.h
    ${PROJECT_SOURCE_DIR}/siblings/recordingkit/recordingjson.h
    ${PROJECT_SOURCE_DIR}/siblings/recordingkit/syntheticrecording.h
    ${PROJECT_SOURCE_DIR}/siblings/viewportkit/glimagetarget.h
    ${PROJECT_SOURCE_DIR}/siblings/viewportkit/glofflinecontext.h
    ${PROJECT_SOURCE_DIR}/siblings/viewportkit/glpngwrite.h
    ${CM3D_INTERFACE_HEADERS}
    DESTINATION ${CM3D_INSTALL_INCLUDEDIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ContourMap3DConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/ContourMap3DConfig.cmake
    INSTALL_DESTINATION ${CM3D_INSTALL_CMAKEDIR}
    PATH_VARS CM3D_INSTALL_INCLUDEDIR CMAKE_INSTALL_LIBDIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ContourMap3DConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES
    ${CMAKE_CURRENT_BINARY_DIR}/ContourMap3DConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/ContourMap3DConfigVersion.cmake
    DESTINATION ${CM3D_INSTALL_CMAKEDIR})

# pkg-config files find the prefix from their own place, so any --prefix works.
file(RELATIVE_PATH CM3D_PC_TO_PREFIX /${CM3D_INSTALL_PKGCONFIGDIR} /)
string(REGEX REPLACE "/$" "" CM3D_PC_TO_PREFIX "${CM3D_PC_TO_PREFIX}")
foreach(pc contourmap3d-core contourmap3d)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc DESTINATION ${CM3D_INSTALL_PKGCONFIGDIR})
endforeach()
