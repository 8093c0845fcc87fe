#include "resource.h"
#include "resourcetemplates.h"

namespace {

constexpr CMenuItemqv kViewModeItems[] = {
    {ID_VIEW_NORMAL, "Normal"},
    {ID_VIEW_ROTATE, "Rotate"},
    {ID_VIEW_ZOOM, "Zoom"},
    {ID_VIEW_PICKSENSOR, "Pick Sensor"},
};

} // namespace

const CMenuTemplateqv g_menuViewMode = {
    IDR_VIEWMODE, "View Mode", kViewModeItems,
    static_cast<int>(sizeof kViewModeItems / sizeof kViewModeItems[0])};
