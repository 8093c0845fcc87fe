# The window library: the Qt window layer, the resources, the views, the dialogs, the dialog
# facade and the start-up hook, on top of the Qt-free core.
add_library(contourmap3d SHARED
    ${CMAKE_CURRENT_LIST_DIR}/libmain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/3drenddlgfaceqv.cpp
    ${CMAKE_CURRENT_LIST_DIR}/3drenddlgfaceqv.h)
target_link_libraries(contourmap3d
    PUBLIC contourmap3d_core Qt6::Widgets
    PRIVATE cm3d_platform cm3d_views cm3d_dialogs cm3d_resources)
# Hosts include the facade; tests and the gallery also reach the layer, views and dialogs.
target_include_directories(contourmap3d PUBLIC
    ${CMAKE_CURRENT_LIST_DIR}
    ${PROJECT_SOURCE_DIR}/platform/qt
    ${PROJECT_SOURCE_DIR}/resources
    ${PROJECT_SOURCE_DIR}/views
    ${PROJECT_SOURCE_DIR}/dialogs)
