#include "gl4dprivate.h"

#include <algorithm>
#include <cmath>

namespace {

bool allFinite(double x, double y, double z) {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

} // namespace

int CGL4d3Operator::getRotate(double& x, double& y, double& z) {
    if (m_pPriv == nullptr)
        return 0;
    x = m_pPriv->dRotate[0];
    y = m_pPriv->dRotate[1];
    z = m_pPriv->dRotate[2];
    return 1;
}

int CGL4d3Operator::getTranslate(double& x, double& y, double& z) {
    if (m_pPriv == nullptr)
        return 0;
    x = m_pPriv->dTranslate[0];
    y = m_pPriv->dTranslate[1];
    z = m_pPriv->dTranslate[2];
    return 1;
}

CGxyz CGL4d3Operator::getRotateValue() {
    CGxyz r;
    getRotate(r.x, r.y, r.z);
    return r;
}

// Angles are kept as given (no wrapping), so the overlay shows what the drags accumulated.
int CGL4d3Operator::setRotateValue(double x, double y, double z) {
    if (m_pPriv == nullptr)
        return 0;
    m_pPriv->strError.clear();
    if (!allFinite(x, y, z))
        return m_pPriv->fail("setRotateValue: angles must be finite");
    m_pPriv->dRotate[0] = x;
    m_pPriv->dRotate[1] = y;
    m_pPriv->dRotate[2] = z;
    return 1;
}

int CGL4d3Operator::setRotateBoolean(int bX, int bY, int bZ) {
    if (m_pPriv == nullptr)
        return 0;
    m_pPriv->bRotate[0] = bX != 0;
    m_pPriv->bRotate[1] = bY != 0;
    m_pPriv->bRotate[2] = bZ != 0;
    return 1;
}

// The camera stays in front of the scene: z is held at or below minus the minimum distance.
int CGL4d3Operator::setTranslate(double x, double y, double z) {
    if (m_pPriv == nullptr)
        return 0;
    m_pPriv->strError.clear();
    if (!allFinite(x, y, z))
        return m_pPriv->fail("setTranslate: coordinates must be finite");
    m_pPriv->dTranslate[0] = x;
    m_pPriv->dTranslate[1] = y;
    m_pPriv->dTranslate[2] = std::min(z, -viewportkit::kMinDistance);
    return 1;
}
