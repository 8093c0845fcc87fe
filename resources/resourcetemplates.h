#pragma once

// The individual resources that the table in resourcetable.cpp lists; internal to resources/.

#include "resourcetypes.h"

extern const CDlgTemplateqv g_dlgTimeDomain; // 2017
extern const CDlgTemplateqv g_dlgFrequency;  // 2018
extern const CDlgTemplateqv g_dlgModeling;   // 2020
extern const CDlgTemplateqv g_dlgSpectral;   // 2021

extern const CMenuTemplateqv g_menuViewMode; // 2002

extern const CCursorTemplateqv g_curZoom;   // 2002
extern const CCursorTemplateqv g_curRotate; // 2003
extern const CCursorTemplateqv g_curPick;   // 2004
