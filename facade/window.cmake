# The window library: the Qt window layer, the resources, the start-up hook and (later) the views
# and dialogs, on top of the Qt-free core.
add_library(contourmap3d SHARED ${CMAKE_CURRENT_LIST_DIR}/libmain.cpp)
target_link_libraries(contourmap3d
    PUBLIC contourmap3d_core Qt6::Widgets
    PRIVATE cm3d_platform)
if(TARGET cm3d_resources)
    target_link_libraries(contourmap3d PRIVATE cm3d_resources)
endif()
# Hosts and the gallery program use the layer's Qt-free headers.
target_include_directories(contourmap3d PUBLIC
    ${PROJECT_SOURCE_DIR}/platform/qt
    ${PROJECT_SOURCE_DIR}/resources)
