#pragma once

#include "gl4dqv.h"

#include <EGL/egl.h>
#include <GL/gl.h>

#include <string>
#include <vector>

// State behind CGL4d, shared by the camera and display layers; internal to the library.
struct __attribute__((visibility("hidden"))) CGL4d::SPrivate {
    // Context and its framebuffer.
    bool bDisplayHeld = false; // this object holds a reference on the shared display
    EGLConfig config = nullptr;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE; // 1x1 pbuffer, only where surfaceless contexts are missing
    GLuint nFramebuffer = 0;
    GLuint nColorBuffer = 0;
    GLuint nDepthBuffer = 0;
    int nFboWidth = 0;
    int nFboHeight = 0;

    // Size given to reshape (the pick region is measured against it).
    int nViewWidth = 0;
    int nViewHeight = 0;

    // Camera.
    double dRotate[3] = {0.0, 0.0, 0.0};
    int bRotate[3] = {1, 1, 1};
    double dTranslate[3] = {0.0, 0.0, -750.0};
    int nMouseX = 0;
    int nMouseY = 0;

    // Selection pass.
    std::vector<GLuint> selectBuffer;
    bool bPicking = false;

    // Read-back: a frame kept between frames for targets that cannot take the rows themselves,
    // and whether the driver hands rows top first (GL_MESA_pack_invert); -1 until asked.
    std::vector<unsigned char> frame;
    int nPackInvert = -1;

    std::string strError;

    // True when this object's context is the calling thread's current OpenGL context.
    bool isCurrent() const;
    // Clears the error and checks that the context is current; records why not.
    bool requireCurrent(const char* pszOperation);
    int fail(const std::string& strWhy);
    // Makes a context for the device context (the one held before goes), current, with its
    // framebuffer and projection; what createViewGLContext does.
    int createContext(HDC hDC);
    // Makes the context current and binds the framebuffer at the draw target's size.
    int makeCurrent(HDC hDC);
    void applyProjection(const double* pPickRegion) const;
    void applySceneTransform() const;
    // Modelview for a frame or pick: the light fixed in eye space, then the camera.
    void loadSceneModelview() const;
    void destroyContext();
};

namespace viewportkit {
constexpr double kFieldOfViewY = 30.0;
constexpr double kNearPlane = 1.0;
constexpr double kFarPlane = 10000.0;
constexpr double kMinDistance = 1.0;
} // namespace viewportkit
