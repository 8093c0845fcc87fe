#pragma once

// The individual resources that the table in resourcetable.cpp lists; internal to resources/.

#include "resourcetypes.h"

extern const CDlgTemplateqv g_dlgTimeDomain;
extern const CDlgTemplateqv g_dlgFrequency;
extern const CDlgTemplateqv g_dlgModeling;
extern const CDlgTemplateqv g_dlgSpectral;

extern const CMenuTemplateqv g_menuViewMode;

extern const CCursorTemplateqv g_curZoom;
extern const CCursorTemplateqv g_curRotate;
extern const CCursorTemplateqv g_curPick;
