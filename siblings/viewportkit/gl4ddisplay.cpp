#include "gl4dprivate.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <new>

namespace {

// Emission carries the data colours; the light only adds modest shading so those colours are
// not washed out.
constexpr GLfloat kGlobalAmbient[4] = {0.1f, 0.1f, 0.1f, 1.0f};
constexpr GLfloat kLightAmbient[4] = {0.1f, 0.1f, 0.1f, 1.0f};
constexpr GLfloat kLightDiffuse[4] = {0.35f, 0.35f, 0.35f, 1.0f};
constexpr GLfloat kLightSpecular[4] = {0.3f, 0.3f, 0.3f, 1.0f};
// Directional light from above and in front of the viewer, fixed in eye space so the lit side
// stays towards the viewer however the scene is turned.
constexpr GLfloat kLightDirection[4] = {0.0f, 0.5f, 1.0f, 0.0f};

} // namespace

void CGL4d::SPrivate::loadSceneModelview() const {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION, kLightDirection);
    applySceneTransform();
}

int CGL4d5Display::glqvInit() {
    if (m_pPriv == nullptr || !m_pPriv->requireCurrent("glqvInit"))
        return 0;
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glClearDepth(1.0);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glShadeModel(GL_SMOOTH);
    glDisable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    // Normals reach the library unnormalised (vertex coordinates sent as normals).
    glEnable(GL_NORMALIZE);
    // Colours come from explicit material calls, never from glColor.
    glDisable(GL_COLOR_MATERIAL);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, kGlobalAmbient);
    glLightfv(GL_LIGHT0, GL_AMBIENT, kLightAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, kLightSpecular);
    return 1;
}

int CGL4d5Display::beginGLqv() {
    if (m_pPriv == nullptr || !m_pPriv->requireCurrent("beginGLqv"))
        return 0;
    if (m_pPriv->bPicking)
        return m_pPriv->fail("beginGLqv: a selection pass is open");
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    m_pPriv->loadSceneModelview();
    return 1;
}

int CGL4d5Display::endGLqv() {
    if (m_pPriv == nullptr || !m_pPriv->requireCurrent("endGLqv"))
        return 0;
    glFinish();
    return 1;
}

// Positive dz moves the camera away (the view distance grows by dz). The distance is held between
// the near limit and a limit short of the far plane, so the scene never goes behind the camera or
// out of range.
int CGL4d5Display::addViewDistanceZ(float dz) {
    if (m_pPriv == nullptr)
        return 0;
    m_pPriv->strError.clear();
    if (!std::isfinite(dz))
        return m_pPriv->fail("addViewDistanceZ: step must be finite");
    const double dMaxDistance = viewportkit::kFarPlane * 0.9;
    // The distance is minus the translation's z: a positive step moves the camera away.
    const double z = m_pPriv->dTranslate[2] - static_cast<double>(dz);
    m_pPriv->dTranslate[2] = std::clamp(z, -dMaxDistance, -viewportkit::kMinDistance);
    return 1;
}

unsigned int* CGL4d5Display::glqvPickBegin(int nSize, double x, double y, double w, double h) {
    if (m_pPriv == nullptr)
        return nullptr;
    SPrivate& p = *m_pPriv;
    p.strError.clear();
    if (nSize < 0) {
        p.fail("glqvPickBegin: negative buffer size");
        return nullptr;
    }
    if (!std::isfinite(x) || !std::isfinite(y) || !(w > 0.0) || !(h > 0.0) || !std::isfinite(w) ||
        !std::isfinite(h)) {
        p.fail("glqvPickBegin: the pick point must be finite and the region positive");
        return nullptr;
    }
    if (!p.requireCurrent("glqvPickBegin"))
        return nullptr;
    GLint nMode = GL_RENDER;
    glGetIntegerv(GL_RENDER_MODE, &nMode);
    if (p.bPicking || nMode != GL_RENDER) {
        p.fail("glqvPickBegin: a selection pass is already open");
        return nullptr;
    }
    try {
        // Never empty, so the buffer pointer is valid even for a zero-size pass.
        p.selectBuffer.assign(static_cast<size_t>(std::max(nSize, 1)), 0u);
    } catch (const std::bad_alloc&) {
        p.fail("glqvPickBegin: out of memory for " + std::to_string(nSize) + " entries");
        return nullptr;
    }
    glSelectBuffer(nSize, p.selectBuffer.data());
    glRenderMode(GL_SELECT);
    glInitNames();
    // Client y grows downwards, OpenGL window y upwards.
    const double region[4] = {x, static_cast<double>(p.nViewHeight) - y, w, h};
    p.applyProjection(region);
    p.loadSceneModelview();
    p.bPicking = true;
    return p.selectBuffer.data();
}

int CGL4d5Display::glqvPickEnd() {
    if (m_pPriv == nullptr)
        return 0;
    SPrivate& p = *m_pPriv;
    if (!p.requireCurrent("glqvPickEnd"))
        return 0;
    if (!p.bPicking)
        return p.fail("glqvPickEnd: no selection pass is open");
    const GLint nHits = glRenderMode(GL_RENDER);
    p.bPicking = false;
    p.applyProjection(nullptr);
    return nHits;
}
