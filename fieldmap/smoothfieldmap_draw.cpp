#include "colorentry.h"
#include "show3dcntmap.h"
#include "smoothfieldmap.h"
#include "smoothfieldmap_p.h"

#include <EGL/egl.h>
#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

// The neutral band's grey, as the colour bar shows it.
const float fNeutralGrey = 128.0f / 255.0f;

// Blue through white to red: the eleven colours of the diverging red-blue scheme (Brewer's
// RdBu, reversed), evenly spaced from -1 to +1, as MNE-Python's RdBu_r maps.
const float aafDiverging[11][3] = {
    {0x05 / 255.0f, 0x30 / 255.0f, 0x61 / 255.0f}, {0x21 / 255.0f, 0x66 / 255.0f, 0xac / 255.0f},
    {0x43 / 255.0f, 0x93 / 255.0f, 0xc3 / 255.0f}, {0x92 / 255.0f, 0xc5 / 255.0f, 0xde / 255.0f},
    {0xd1 / 255.0f, 0xe5 / 255.0f, 0xf0 / 255.0f}, {0xf7 / 255.0f, 0xf7 / 255.0f, 0xf7 / 255.0f},
    {0xfd / 255.0f, 0xdb / 255.0f, 0xc7 / 255.0f}, {0xf4 / 255.0f, 0xa5 / 255.0f, 0x82 / 255.0f},
    {0xd6 / 255.0f, 0x60 / 255.0f, 0x4d / 255.0f}, {0xb2 / 255.0f, 0x18 / 255.0f, 0x2b / 255.0f},
    {0x67 / 255.0f, 0x00 / 255.0f, 0x1f / 255.0f},
};

// Shading baked into the vertex colours, so that the colours stay the scale's own where the
// surface faces the light and the shape still shows: the scene's light direction, fixed in eye
// space.
const double adLight[3] = {0.0, 0.4472135954999579, 0.8944271909999159};
const double dAmbientShare = 0.72;

// Isolines sit this share of the radius outside the surface.
const double dLineLift = 0.002;
const GLfloat fIsolineWidth = 1.2f;
const GLfloat fZeroLineWidth = 2.5f;
const GLfloat fSensorDotSize = 5.0f;
const GLfloat fExcludedDotSize = 4.0f;
const GLfloat fMarkDotSize = 12.0f;
// Texels of the colour texture: finer than a colour entry of the thresholds' tables over the
// values a surface takes.
const int nTexturePoints = 4096;

// The levels at whole multiples of dStep strictly inside (-dLimit, dLimit), or (0, dLimit) on a
// sequential scale; none when the step is no number or would give more than the most drawn.
std::vector<double> _levelsAt(double dStep, double dLimit, bool bSequential) {
    std::vector<double> aLevels;
    const double dSteps = std::ceil(dLimit / dStep) - 1.0;
    if (!std::isfinite(dStep) || !(dStep > 0.0) || !(dSteps >= 0.0) ||
        dSteps > 2.0 * CSmoothFieldMap::nMaxIsolines) {
        return aLevels;
    }
    const auto nLast = static_cast<long long>(dSteps);
    for (long long k = bSequential ? 1 : -nLast; k <= nLast; ++k) {
        aLevels.push_back(static_cast<double>(k) * dStep);
    }
    return aLevels;
}

// About nCount levels, zero among them on a two-sided scale (on a sequential one zero is the
// scale's end and no line of its own). The step is a round number, 1, 2, 2.5 or 5 times a power
// of ten, as contour plots choose their levels, so that the levels read as round values: of the
// round steps around the even spacing, the one whose count comes nearest nCount, the wider on a
// tie.
std::vector<double> _levels(double dLimit, int nCount, bool bSequential) {
    if (nCount < 1 || !(dLimit > 0.0) || !std::isfinite(dLimit)) {
        return {};
    }
    // Divided before doubled, so that no limit overflows; a step the doubles cannot hold (a
    // limit near the largest or smallest of them) leaves the map without isolines.
    const double dEven = (bSequential ? 1.0 : 2.0) * (dLimit / (nCount + 1));
    if (!std::isfinite(dEven) || !(dEven > 0.0)) {
        return {};
    }
    const double dPower = std::pow(10.0, std::floor(std::log10(dEven)));
    const auto nOff = [nCount](const std::vector<double>& v) {
        return std::abs(static_cast<long long>(v.size()) - nCount);
    };
    std::vector<double> aBest;
    for (double dMantissa : {10.0, 5.0, 2.5, 2.0, 1.0}) {
        std::vector<double> a = _levelsAt(dMantissa * dPower, dLimit, bSequential);
        if (!a.empty() && (aBest.empty() || nOff(a) < nOff(aBest))) {
            aBest = std::move(a);
        }
    }
    return aBest;
}

} // namespace

void CSmoothFieldMap::SPrivate::thresholdColor(double dValue, float afRgba[4]) const {
    const float* pColor =
        cm3dColorEntry(dValue, dColorMin, dColorMax, dStepMin, dStepMax).color(tables);
    for (int k = 0; k < 3; ++k) {
        afRgba[k] = pColor ? pColor[k] : fNeutralGrey;
    }
    afRgba[3] = 1.0f;
}

void CSmoothFieldMap::continuousColor(double dFraction, float afRgba[4]) {
    afRgba[3] = 1.0f;
    if (std::isnan(dFraction)) {
        afRgba[0] = afRgba[1] = afRgba[2] = fNeutralGrey;
        return;
    }
    const double dPos = (std::clamp(dFraction, -1.0, 1.0) + 1.0) * 5.0;
    const int i = std::min(static_cast<int>(dPos), 9);
    const float t = static_cast<float>(dPos - i);
    for (int k = 0; k < 3; ++k) {
        afRgba[k] = aafDiverging[i][k] + (aafDiverging[i + 1][k] - aafDiverging[i][k]) * t;
    }
}

void CSmoothFieldMap::SPrivate::colorVertices() {
    if (nColorMode == colorContinuous) {
        dTexLow = bSequential ? 0.0 : -dLimit;
        dTexHigh = dLimit;
    } else {
        // The values the surface takes, so that the texture resolves every colour entry there.
        const auto extremes = std::minmax_element(aVertexValues.begin(), aVertexValues.end());
        dTexLow = extremes.first != aVertexValues.end() ? *extremes.first : 0.0;
        dTexHigh = extremes.second != aVertexValues.end() ? *extremes.second : 0.0;
    }
    if (!(dTexHigh > dTexLow) || !std::isfinite(dTexHigh - dTexLow)) {
        const double dMiddle = std::isfinite(dTexLow) ? dTexLow : 0.0;
        dTexLow = dMiddle - 1.0;
        dTexHigh = dMiddle + 1.0;
    }
    aTexCoords.resize(aVertexValues.size());
    for (std::size_t v = 0; v < aVertexValues.size(); ++v) {
        const double s = (aVertexValues[v] - dTexLow) / (dTexHigh - dTexLow);
        aTexCoords[v] = static_cast<float>(std::isnan(s) ? 0.5 : std::clamp(s, 0.0, 1.0));
    }
}

std::vector<unsigned char> CSmoothFieldMap::SPrivate::textureTexels(int nTexels) const {
    std::vector<unsigned char> aTexels(4 * static_cast<std::size_t>(nTexels));
    for (int i = 0; i < nTexels; ++i) {
        // The value at the texel's centre, weighted so that no extreme overflows.
        const double t = (i + 0.5) / nTexels;
        const double dValue = dTexLow * (1.0 - t) + dTexHigh * t;
        float afRgba[4];
        if (nColorMode == colorContinuous) {
            continuousColor(dLimit > 0.0 ? dValue / dLimit : 0.0, afRgba);
        } else {
            thresholdColor(dValue, afRgba);
        }
        for (int k = 0; k < 4; ++k) {
            aTexels[4 * i + k] = static_cast<unsigned char>(std::lround(afRgba[k] * 255.0f));
        }
    }
    return aTexels;
}

bool CSmoothFieldMap::SPrivate::STextureKey::operator==(const STextureKey& o) const {
    return nColorMode == o.nColorMode && nTexels == o.nTexels &&
           std::equal(adRange, adRange + 7, o.adRange) &&
           std::equal(tables.m_pColorTableMax,
                      tables.m_pColorTableMax + CIndex2ColorOpenGLqv::nColorEntries,
                      o.tables.m_pColorTableMax) &&
           std::equal(tables.m_pColorTableMin,
                      tables.m_pColorTableMin + CIndex2ColorOpenGLqv::nColorEntries,
                      o.tables.m_pColorTableMin);
}

void CSmoothFieldMap::SPrivate::bindTexture() {
    GLint nMaxTexels = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &nMaxTexels);
    STextureKey key;
    key.nColorMode = nColorMode;
    key.nTexels = std::clamp(static_cast<int>(nMaxTexels), 64, nTexturePoints);
    const double adRange[7] = {dTexLow, dTexHigh, dLimit, dColorMin, dColorMax, dStepMin, dStepMax};
    std::copy(adRange, adRange + 7, key.adRange);
    key.tables = tables;
    // Texture names belong to a context: one made in another (perhaps gone) is not ours to
    // bind or delete here. The project's contexts are EGL's; any other gets a texture per paint.
    const void* pContext = eglGetCurrentContext();
    if (nTexture != 0 &&
        (pContext == EGL_NO_CONTEXT || pContext != pTextureContext || !glIsTexture(nTexture))) {
        nTexture = 0;
    }
    pTextureContext = pContext;
    if (nTexture != 0 && key == textureKey) {
        glBindTexture(GL_TEXTURE_1D, nTexture);
        return;
    }
    if (nTexture == 0) {
        GLuint nName = 0;
        glGenTextures(1, &nName);
        nTexture = nName;
    }
    textureKey = key;
    // The scale as a texture the shade modulates; steps (the thresholds' tables) stay sharp, the
    // continuous scale is interpolated between its texels.
    const std::vector<unsigned char> aTexels = textureTexels(key.nTexels);
    glBindTexture(GL_TEXTURE_1D, nTexture);
    const GLint nFilter = nColorMode == colorContinuous ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, nFilter);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, nFilter);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage1D(GL_TEXTURE_1D, 0, GL_RGBA8, key.nTexels, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 aTexels.data());
}

void CSmoothFieldMap::SPrivate::releaseTexture(bool bAlways) {
    if (nTexture == 0 || !(bAlways || pTextureContext == EGL_NO_CONTEXT)) {
        return;
    }
    if (eglGetCurrentContext() == pTextureContext && glGetString(GL_VERSION)) {
        const GLuint nName = nTexture;
        glDeleteTextures(1, &nName);
    }
    nTexture = 0;
}

// Marching triangles: each level crosses a triangle along one segment between the two edges
// whose ends lie on either side of it (a vertex on the level counts as above).
void CSmoothFieldMap::SPrivate::traceIsolines() {
    aIsolines.clear();
    aZeroLine.clear();
    if (aVertexValues.size() != aDirections.size()) {
        return;
    }
    const std::vector<double> aLevels = _levels(dLimit, nIsolines, bSequential);
    if (aLevels.empty()) {
        return;
    }
    // Lifted off the surface a little, so that the depth test cannot break them up.
    const double dLift = dLineLift * sphere.dRadius;
    auto crossing = [&](unsigned a, unsigned b, double dLevel, std::vector<float>& aOut) {
        const double va = aVertexValues[a], vb = aVertexValues[b];
        const double t = (dLevel - va) / (vb - va);
        fieldmap::Vec3 p;
        for (int k = 0; k < 3; ++k) {
            const double da = aVertices[3 * a + k], db = aVertices[3 * b + k];
            p(k) = da + (db - da) * t;
        }
        const fieldmap::Vec3 out = p - sphere.centre;
        if (out.norm() > 0.0) {
            p += out.normalized() * dLift;
        }
        aOut.insert(aOut.end(), {static_cast<float>(p.x()), static_cast<float>(p.y()),
                                 static_cast<float>(p.z())});
    };
    for (std::size_t t = 0; t + 2 < aTriangles.size(); t += 3) {
        const unsigned v[3] = {aTriangles[t], aTriangles[t + 1], aTriangles[t + 2]};
        const double d[3] = {aVertexValues[v[0]], aVertexValues[v[1]], aVertexValues[v[2]]};
        if (!std::isfinite(d[0]) || !std::isfinite(d[1]) || !std::isfinite(d[2])) {
            continue;
        }
        const double dLow = std::min({d[0], d[1], d[2]});
        const double dHigh = std::max({d[0], d[1], d[2]});
        // Levels with dLow < level <= dHigh split the corners.
        for (auto it = std::upper_bound(aLevels.begin(), aLevels.end(), dLow);
             it != aLevels.end() && *it <= dHigh; ++it) {
            std::vector<float>& aOut = *it == 0.0 ? aZeroLine : aIsolines;
            for (int k = 0; k < 3; ++k) {
                const int k1 = (k + 1) % 3;
                if ((d[k] >= *it) != (d[k1] >= *it)) {
                    crossing(v[k], v[k1], *it, aOut);
                }
            }
        }
    }
}

std::vector<double> CSmoothFieldMap::getIsolineLevels() const {
    return _levels(m_pPriv->dLimit, m_pPriv->nIsolines, m_pPriv->bSequential);
}

int CSmoothFieldMap::getColorOf(double dValue, float afRgba[4]) const {
    if (!afRgba) {
        return 0;
    }
    const SPrivate& p = *m_pPriv;
    if (p.nColorMode == colorContinuous) {
        continuousColor(p.dLimit > 0.0       ? dValue / p.dLimit
                        : std::isnan(dValue) ? dValue
                                             : 0.0,
                        afRgba);
    } else {
        p.thresholdColor(dValue, afRgba);
    }
    return 1;
}

int CSmoothFieldMap::draw(const CShow3DCntMapqv& map, int nKind) {
    update(map, nKind);
    return drawUpdated(map);
}

int CSmoothFieldMap::drawUpdated(const CShow3DCntMapqv& map) {
    SPrivate& p = *m_pPriv;
    const int bSurface = p.bReady ? 1 : 0;
    // Works for any context the host made current: without one, glGetString answers null.
    if (!glGetString(GL_VERSION)) {
        return 0;
    }
    glGetDoublev(GL_MODELVIEW_MATRIX, p.adModelview);
    glGetDoublev(GL_PROJECTION_MATRIX, p.adProjection);
    glGetIntegerv(GL_VIEWPORT, p.anViewport);
    p.bHasFrame = true;

    // Shading from the normals turned into eye space by the scene's rotation.
    const double* m = p.adModelview;
    const std::size_t nVertices = p.aNormals.size() / 3;
    p.aShades.resize(4 * nVertices);
    for (std::size_t v = 0; v < nVertices; ++v) {
        const float* n = &p.aNormals[3 * v];
        const double ex = m[0] * n[0] + m[4] * n[1] + m[8] * n[2];
        const double ey = m[1] * n[0] + m[5] * n[1] + m[9] * n[2];
        const double ez = m[2] * n[0] + m[6] * n[1] + m[10] * n[2];
        const double dLength = std::sqrt(ex * ex + ey * ey + ez * ez);
        const double dFacing =
            dLength > 0.0 ? std::fabs(ex * adLight[0] + ey * adLight[1] + ez * adLight[2]) / dLength
                          : 1.0;
        const double dShade = dAmbientShare + (1.0 - dAmbientShare) * dFacing;
        const auto nGrey =
            static_cast<unsigned char>(std::lround(std::clamp(dShade, 0.0, 1.0) * 255.0));
        for (int k = 0; k < 3; ++k) {
            p.aShades[4 * v + k] = nGrey;
        }
        p.aShades[4 * v + 3] = 255;
    }

    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_LINE_BIT | GL_POINT_BIT |
                 GL_POLYGON_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_TRANSFORM_BIT |
                 GL_TEXTURE_BIT);
    // The texture upload sets the unpack alignment, which is client state too.
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT | GL_CLIENT_PIXEL_STORE_BIT);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslated(-p.adShift[0], -p.adShift[1], -p.adShift[2]);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    // Only the arrays set here may be read.
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_INDEX_ARRAY);
    glDisableClientState(GL_EDGE_FLAG_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);

    if (bSurface && !p.aTriangles.empty() && p.aTexCoords.size() == nVertices) {
        p.bindTexture();
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glEnable(GL_TEXTURE_1D);

        // The surface a little behind its lines, which lie on it.
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(1.0f, 1.0f);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glShadeModel(GL_SMOOTH);
        glEnableClientState(GL_COLOR_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(3, GL_FLOAT, 0, p.aVertices.data());
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, p.aShades.data());
        glTexCoordPointer(1, GL_FLOAT, 0, p.aTexCoords.data());
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(p.aTriangles.size()), GL_UNSIGNED_INT,
                       p.aTriangles.data());
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDisable(GL_TEXTURE_1D);
        glBindTexture(GL_TEXTURE_1D, 0);
        p.releaseTexture(false);

        // Plain lines: the driver's smoothed ones break up into dots on short segments.
        glColor4f(0.1f, 0.1f, 0.1f, 1.0f);
        if (!p.aIsolines.empty()) {
            glLineWidth(fIsolineWidth);
            glVertexPointer(3, GL_FLOAT, 0, p.aIsolines.data());
            glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(p.aIsolines.size() / 3));
        }
        if (!p.aZeroLine.empty()) {
            glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
            glLineWidth(fZeroLineWidth);
            glVertexPointer(3, GL_FLOAT, 0, p.aZeroLine.data());
            glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(p.aZeroLine.size() / 3));
        }
    }

    if (p.bShowSensors) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_POINT_SMOOTH);
        // Each dot drawn over the mark at the same depth.
        glDepthFunc(GL_LEQUAL);
        if (p.nMarkedDot >= 0) {
            const std::vector<float>& aDots = p.bMarkedExcluded ? p.aExcludedDots : p.aSensorDots;
            glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
            glPointSize(fMarkDotSize);
            glVertexPointer(3, GL_FLOAT, 0, aDots.data());
            glDrawArrays(GL_POINTS, p.nMarkedDot, 1);
        }
        if (!p.aExcludedDots.empty()) {
            glColor4f(0.55f, 0.55f, 0.55f, 1.0f);
            glPointSize(fExcludedDotSize);
            glVertexPointer(3, GL_FLOAT, 0, p.aExcludedDots.data());
            glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(p.aExcludedDots.size() / 3));
        }
        if (!p.aSensorDots.empty()) {
            glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
            glPointSize(fSensorDotSize);
            glVertexPointer(3, GL_FLOAT, 0, p.aSensorDots.data());
            glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(p.aSensorDots.size() / 3));
        }
    }
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();

    if (p.bShowFiducials) {
        // As the time-domain map draws them: lit spheres, never shifted by the centre.
        glPushAttrib(GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_ENABLE_BIT);
        map.drawFiducialPass();
        glPopAttrib();
    }
    return bSurface;
}
