#pragma once

#include "cm3d_export.h"
#include "index2color.h"

// Which colour the maps give a value: an entry of the Min table at or below the lower threshold,
// of the Max table at or above the upper one (checked first), none in the neutral band between
// and for NaN. The entry is the whole number of steps past the threshold, the last entry from
// there on. The value is taken in single precision, as the renderer's colour call takes it, so
// the map of fans, the smooth map and a host's colour bar colour every value alike.
struct SColorEntry {
    enum ETable { tableNone = 0, tableMin = 1, tableMax = 2 };
    ETable nTable = tableNone;
    int nIndex = 0;

    // The entry's colour in these tables; null for none.
    const float* color(const CIndex2ColorOpenGLqv& tables) const {
        switch (nTable) {
        case tableMax:
            return tables.m_pColorTableMax[nIndex];
        case tableMin:
            return tables.m_pColorTableMin[nIndex];
        default:
            return nullptr;
        }
    }
};

CM3D_API SColorEntry cm3dColorEntry(double dValue, double dColorMin, double dColorMax,
                                    double dStepMin, double dStepMax);
