# The window library: the Qt window layer, the resources, the views, the dialogs, the dialog
# facade and the start-up hook, on top of the Qt-free core.
add_library(contourmap3d
    ${CMAKE_CURRENT_LIST_DIR}/libmain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/3drenddlgfaceqv.cpp
    ${CMAKE_CURRENT_LIST_DIR}/3drenddlgfaceqv.h)
add_library(ContourMap3D::Dialogs ALIAS contourmap3d)
target_link_libraries(contourmap3d
    PUBLIC contourmap3d_core Qt6::Widgets
    PRIVATE $<BUILD_INTERFACE:cm3d_platform> $<BUILD_INTERFACE:cm3d_views>
        $<BUILD_INTERFACE:cm3d_dialogs> $<BUILD_INTERFACE:cm3d_resources>
        # What the window layer's objects call besides Qt, for hosts of a static build.
        OpenGL::EGL)
# Hosts include the facade. The layer's, resources', views' and dialogs' folders serve this
# build only (tests, the gallery, the demo reach into the dialogs); they are not installed.
target_include_directories(contourmap3d PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_LIST_DIR}>
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/platform/qt>
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/resources>
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/views>
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/dialogs>)
