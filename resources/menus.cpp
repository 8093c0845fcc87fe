#include "resourcetemplates.h"

namespace {

constexpr CMenuItemqv kViewModeItems[] = {
    {2005, "Normal"},
    {2009, "Rotate"},
    {2007, "Zoom"},
    {2020, "Pick Sensor"},
};

} // namespace

const CMenuTemplateqv g_menuViewMode = {
    2002, "View Mode", kViewModeItems,
    static_cast<int>(sizeof kViewModeItems / sizeof kViewModeItems[0])};
