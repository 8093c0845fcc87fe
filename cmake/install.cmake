# What `cmake --install build --prefix P` puts in place: the libraries, the headers a host
# includes, a CMake package (find_package(ContourMap3D), generated from the targets, so it names
# the library files as they were built and installed) and pkg-config files.
include(CMakePackageConfigHelpers)

set(CM3D_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/contourmap3d)
set(CM3D_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/ContourMap3D)
set(CM3D_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The headers a host includes, per library, relative to the source tree: the facades, the
# renderer, the recording and viewport classes with their fill API, and the message-box hook.
# They all go into one folder; the window layer, views and dialogs stay inside the library.
# A library that gets a new public header adds it to its list.
set(CM3D_PUBLIC_HEADERS_recordingkit
    interfaces/bscmagsns.h
    interfaces/fiducial.h
    interfaces/mdchannel.h
    interfaces/mdtrial.h
    interfaces/megdata.h
    interfaces/siblings_export.h
    interfaces/spctmchnl.h
    interfaces/spctmtrial.h
    siblings/recordingkit/recordingjson.h
    siblings/recordingkit/pagedrecording.h
    siblings/recordingkit/syntheticrecording.h)
set(CM3D_PUBLIC_HEADERS_viewportkit
    interfaces/gl4dqv.h
    interfaces/gldrawtarget.h
    interfaces/glmaterial.h
    interfaces/glpoint.h
    interfaces/index2color.h
    interfaces/siblings_export.h
    siblings/viewportkit/glimagetarget.h
    siblings/viewportkit/glofflinecontext.h
    siblings/viewportkit/glpngwrite.h)
set(CM3D_PUBLIC_HEADERS_contourmap3d_core
    facade/3drenddlgface.h
    fieldmap/smoothfieldmap.h
    platform/core/afxmsgbox.h
    platform/core/cm3d_export.h
    renderer/colorentry.h
    renderer/mapkind.h
    renderer/show3dcntmap.h)
set(CM3D_PUBLIC_HEADERS_contourmap3d
    facade/3drenddlgfaceqv.h)

# The package's targets: ContourMap3D::Core (the Qt-free library, which brings
# ContourMap3D::recordingkit and ContourMap3D::viewportkit) and ContourMap3D::Dialogs (the map
# dialogs; needs Qt 6 Widgets). Each export set is a file of its own, so that a host without Qt
# can load the first.
set(CM3D_EXPORT_Core recordingkit viewportkit contourmap3d_core)
set(CM3D_EXPORT_Dialogs contourmap3d)
set_target_properties(contourmap3d_core PROPERTIES EXPORT_NAME Core)
set_target_properties(contourmap3d PROPERTIES EXPORT_NAME Dialogs)

foreach(part Core Dialogs)
    foreach(lib IN LISTS CM3D_EXPORT_${part})
        set_target_properties(${lib} PROPERTIES
            VERSION ${PROJECT_VERSION}
            SOVERSION ${PROJECT_VERSION_MAJOR})
        target_include_directories(${lib}
            INTERFACE $<INSTALL_INTERFACE:${CM3D_INSTALL_INCLUDEDIR}>)
        list(TRANSFORM CM3D_PUBLIC_HEADERS_${lib} PREPEND ${PROJECT_SOURCE_DIR}/
            OUTPUT_VARIABLE headers)
        install(FILES ${headers} DESTINATION ${CM3D_INSTALL_INCLUDEDIR})
    endforeach()
    install(TARGETS ${CM3D_EXPORT_${part}} EXPORT ContourMap3D${part}Targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(EXPORT ContourMap3D${part}Targets
        NAMESPACE ContourMap3D::
        DESTINATION ${CM3D_INSTALL_CMAKEDIR})
endforeach()

install(TARGETS contourmap-render contourmap-demo contourmap-fieldmap
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/mne_export.py
    DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME contourmap-mne-export)
# The package's conversion, where the installed bridge looks for it (share/contourmap3d/python):
# the bridge needs neither the compiled module nor the interpreter's package folder.
set(modules __init__.py _convert.py _export.py _sensors.py)
list(TRANSFORM modules PREPEND ${PROJECT_SOURCE_DIR}/python/contourmap3d/)
install(FILES ${modules} DESTINATION ${CMAKE_INSTALL_DATADIR}/contourmap3d/python/contourmap3d)

# A static build hands its libraries' own dependencies on to the host's link.
set(CM3D_STATIC_LIBRARIES OFF)
if(NOT BUILD_SHARED_LIBS)
    set(CM3D_STATIC_LIBRARIES ON)
endif()
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ContourMap3DConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/ContourMap3DConfig.cmake
    INSTALL_DESTINATION ${CM3D_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ContourMap3DConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES
    ${CMAKE_CURRENT_BINARY_DIR}/ContourMap3DConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/ContourMap3DConfigVersion.cmake
    DESTINATION ${CM3D_INSTALL_CMAKEDIR})

# pkg-config files find the prefix from their own place, so any --prefix works. Static
# libraries name what they are linked with for `pkg-config --static`.
set(CM3D_PC_CORE_PRIVATE "")
set(CM3D_PC_DIALOGS_PRIVATE "")
if(CM3D_STATIC_LIBRARIES)
    set(CM3D_PC_CORE_PRIVATE "Requires.private: gl egl glu libpng fftw3")
    set(CM3D_PC_DIALOGS_PRIVATE "Requires.private: egl")
endif()
file(RELATIVE_PATH CM3D_PC_TO_PREFIX /${CM3D_INSTALL_PKGCONFIGDIR} /)
string(REGEX REPLACE "/$" "" CM3D_PC_TO_PREFIX "${CM3D_PC_TO_PREFIX}")
foreach(pc contourmap3d-core contourmap3d)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc @ONLY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pc}.pc DESTINATION ${CM3D_INSTALL_PKGCONFIGDIR})
endforeach()
