#include "smoothfieldmap.h"
#include "smoothfieldmap_p.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <limits>

using fieldmap::Vec3;

namespace {

// Where the ray origin + t dir (t >= 0) first meets the triangle, or a negative number
// (Moller and Trumbore, 1997, J Graphics Tools 2:21-28).
double _rayHitsTriangle(const Vec3& origin, const Vec3& dir, const Vec3& a, const Vec3& b,
                        const Vec3& c) {
    const Vec3 e1 = b - a, e2 = c - a;
    const Vec3 pv = dir.cross(e2);
    const double dDet = e1.dot(pv);
    if (dDet == 0.0 || !std::isfinite(dDet)) {
        return -1.0; // parallel to the triangle, or degenerate
    }
    const Vec3 tv = origin - a;
    const double u = tv.dot(pv) / dDet;
    if (u < 0.0 || u > 1.0) {
        return -1.0;
    }
    const Vec3 qv = tv.cross(e1);
    const double v = dir.dot(qv) / dDet;
    if (v < 0.0 || u + v > 1.0) {
        return -1.0;
    }
    return e2.dot(qv) / dDet;
}

} // namespace

int CSmoothFieldMap::pickSensor(double x, double y, const double adModelview[16],
                                const double adProjection[16], const int anViewport[4]) const {
    const SPrivate& p = *m_pPriv;
    if (!p.bReady || p.aSlots.empty() || !adModelview || !adProjection || !anViewport ||
        !std::isfinite(x) || !std::isfinite(y)) {
        return -1;
    }
    // Client y grows downwards, OpenGL window y upwards.
    const double dWinY = static_cast<double>(anViewport[1]) + anViewport[3] - y;
    double adNear[3], adFar[3];
    if (gluUnProject(x, dWinY, 0.0, adModelview, adProjection, anViewport, &adNear[0], &adNear[1],
                     &adNear[2]) != GL_TRUE ||
        gluUnProject(x, dWinY, 1.0, adModelview, adProjection, anViewport, &adFar[0], &adFar[1],
                     &adFar[2]) != GL_TRUE) {
        return -1;
    }
    // Into the recording's coordinates, where the surface is kept.
    const Vec3 shift(p.adShift[0], p.adShift[1], p.adShift[2]);
    const Vec3 origin = Vec3(adNear[0], adNear[1], adNear[2]) + shift;
    const Vec3 dir = Vec3(adFar[0], adFar[1], adFar[2]) + shift - origin;
    if (!origin.allFinite() || !dir.allFinite() || !(dir.norm() > 0.0)) {
        return -1;
    }
    auto vertex = [&](unsigned i) {
        return Vec3(p.aVertices[3 * i], p.aVertices[3 * i + 1], p.aVertices[3 * i + 2]);
    };
    double dNearest = std::numeric_limits<double>::infinity();
    for (std::size_t t = 0; t + 2 < p.aTriangles.size(); t += 3) {
        const double dHit =
            _rayHitsTriangle(origin, dir, vertex(p.aTriangles[t]), vertex(p.aTriangles[t + 1]),
                             vertex(p.aTriangles[t + 2]));
        if (dHit >= 0.0 && dHit < dNearest) {
            dNearest = dHit;
        }
    }
    if (!std::isfinite(dNearest)) {
        return -1;
    }
    const Vec3 hit = origin + dNearest * dir;
    int nBest = -1;
    double dBest = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < p.aSlots.size(); ++i) {
        const Vec3 s(p.aSensorPositions[3 * i], p.aSensorPositions[3 * i + 1],
                     p.aSensorPositions[3 * i + 2]);
        const double d = (s - hit).squaredNorm();
        if (d < dBest) {
            dBest = d;
            nBest = p.aSlots[i];
        }
    }
    return nBest;
}

int CSmoothFieldMap::pickSensor(double x, double y) const {
    if (!glGetString(GL_VERSION)) {
        return -1; // no current context to take the matrices from
    }
    double adModelview[16], adProjection[16];
    int anViewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, adModelview);
    glGetDoublev(GL_PROJECTION_MATRIX, adProjection);
    glGetIntegerv(GL_VIEWPORT, anViewport);
    return pickSensor(x, y, adModelview, adProjection, anViewport);
}

int CSmoothFieldMap::pickSensorInLastFrame(double x, double y) const {
    const SPrivate& p = *m_pPriv;
    if (!p.bHasFrame) {
        return -1;
    }
    return pickSensor(x, y, p.adModelview, p.adProjection, p.anViewport);
}
