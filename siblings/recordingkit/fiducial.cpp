#include "fiducial.h"

#include <cmath>

int CFiduciaryPtqv::setPoint(double x, double y, double z) {
    // A point the renderer cannot place is refused rather than drawn somewhere arbitrary.
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
        return 0;
    m_dX = x;
    m_dY = y;
    m_dZ = z;
    m_bSet = 1;
    return 1;
}

int CFiduciaryPtqv::clearPoint() {
    m_bSet = 0;
    m_dX = m_dY = m_dZ = 0.0;
    return 1;
}

CFiduciaryPtqv* CFiducialqv::getFiduciaryPt(int nIndex) {
    if (nIndex < 0 || nIndex >= nFiducialPts)
        return nullptr;
    return &m_FiduciaryPt[nIndex];
}
