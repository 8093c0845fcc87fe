#include "show3dcntmap.h"

#include "fiducial.h"
#include "megdata.h"
#include "show3dcntmap_p.h"

#include <cmath>
#include <limits>

namespace {

struct SFiducialStyle {
    int nIndex;
    unsigned long nColorRef; // 0x00BBGGRR
};

// Drawing order and colour of the six head landmarks.
const SFiducialStyle aFiducialStyles[CFiducialqv::nFiducialPts] = {
    {1, 0x00FE00UL}, // green
    {2, 0x0000FEUL}, // red
    {0, 0xFE0000UL}, // blue
    {4, 0x00FEFEUL}, // yellow
    {3, 0xFEFE00UL}, // cyan
    {5, 0xFE00FEUL}, // magenta
};

} // namespace

CShow3DCntMap03Sensor::CShow3DCntMap03Sensor()
    : m_dFiducialPtsSize(7.0), m_bShowFiducialPts(true) {}

CShow3DCntMap03Sensor::~CShow3DCntMap03Sensor() = default;

bool CShow3DCntMap03Sensor::getShowFiducialPts() {
    return m_bShowFiducialPts;
}

int CShow3DCntMap03Sensor::setShowFiducialPts(bool bShow) {
    m_bShowFiducialPts = bShow;
    return m_bShowFiducialPts ? 1 : 0;
}

double CShow3DCntMap03Sensor::getShowFiducialPtsSize() {
    return m_dFiducialPtsSize;
}

int CShow3DCntMap03Sensor::setShowFiducialPtsSize(double dSize) {
    m_dFiducialPtsSize = dSize;
    // Truncated toward zero; sizes outside the int range (or NaN) cannot be told as an int.
    if (std::isnan(dSize)) {
        return 0;
    }
    if (dSize >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (dSize <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(dSize);
}

int CShow3DCntMap03Sensor::drawFiducial() {
    return drawFiducialPass();
}

// Fiducials are drawn where the landmark set puts them, never shifted by the sensors' centre.
int CShow3DCntMap03Sensor::drawFiducialPass() const {
    if (!m_pMEGData) {
        return 0;
    }
    CFiducialqv* pFiducials = m_pMEGData->getFidWorkMeg();
    if (!pFiducials) {
        return 0;
    }
    const double dSize = static_cast<float>(m_dFiducialPtsSize);
    // The material keeps no state of its own: any one sets the same.
    CGLmaterialqv1Face material;
    material.initMaterial();
    for (const SFiducialStyle& style : aFiducialStyles) {
        const CFiduciaryPtqv& point = pFiducials->m_FiduciaryPt[style.nIndex];
        if (point.m_bSet) {
            material.setCurrentColorAmbt(style.nColorRef & 0xFFFFFFUL);
            cm3dDrawSphere(point.m_dX, point.m_dY, point.m_dZ, dSize);
        }
    }
    return 1;
}

int CShow3DCntMap03Sensor::drawFiduciaryPt3D(CFiduciaryPtqv* pPoint, unsigned long nColorRef,
                                             double dSize) {
    if (!pPoint || !pPoint->m_bSet) {
        return 0;
    }
    m_Material.setCurrentColorAmbt(nColorRef & 0xFFFFFFUL);
    _drawSphere(pPoint->m_dX, pPoint->m_dY, pPoint->m_dZ, dSize);
    return 1;
}
