# Resources compiled in as data; the window layer finds them through cm3dResourceTable().
add_library(cm3d_resources OBJECT
    dialogtemplates.cpp
    menus.cpp
    cursors.cpp
    resourcetable.cpp
    resource.h
    resourcetypes.h
    resourcetemplates.h)
target_include_directories(cm3d_resources PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
# The templates' OK buttons carry the platform's IDOK.
target_link_libraries(cm3d_resources PRIVATE cm3d_platform_core)
