#include "colorentry.h"

#include "index2color.h"

#include <cfloat>
#include <cmath>

namespace {

// In single precision; beyond its range (where a plain conversion is undefined) infinite.
double _asRendered(double dValue) {
    if (dValue > FLT_MAX) {
        return INFINITY;
    }
    if (dValue < -FLT_MAX) {
        return -INFINITY;
    }
    return std::isnan(dValue) ? dValue : static_cast<float>(dValue);
}

int _index(double dQuotient) {
    const int nLast = CIndex2ColorOpenGLqv::nColorEntries - 1;
    if (std::isnan(dQuotient)) {
        return 0;
    }
    const double dAbs = std::fabs(dQuotient);
    return dAbs >= nLast ? nLast : static_cast<int>(dAbs);
}

} // namespace

SColorEntry cm3dColorEntry(double dValue, double dColorMin, double dColorMax, double dStepMin,
                           double dStepMax) {
    const double d = _asRendered(dValue);
    SColorEntry entry;
    if (d >= dColorMax) {
        entry.nTable = SColorEntry::tableMax;
        entry.nIndex = _index((d - dColorMax) / dStepMax);
    } else if (d <= dColorMin) {
        entry.nTable = SColorEntry::tableMin;
        entry.nIndex = _index((d - dColorMin) / dStepMin);
    }
    return entry;
}
