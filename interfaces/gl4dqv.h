#pragma once

#include "gldrawtarget.h"
#include "siblings_export.h"

#include <vector>

class CWnd;

struct CGxyz {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// Viewport object of one map: an OpenGL context rendering into a framebuffer object of the
// device context's size, a camera (rotation, translation, view distance) and selection passes.
// The context is made on EGL (Mesa's surfaceless platform when there is no display), so it works
// without any window.
class VIEWPORTKIT_API CGL4d {
public:
    CWnd* m_pWnd = nullptr; // window the viewport draws for; set by the view before each use

    CGL4d();
    virtual ~CGL4d();
    CGL4d(const CGL4d&) = delete;
    CGL4d& operator=(const CGL4d&) = delete;

    // Non-zero when an OpenGL configuration is available for the device context.
    int setWindowPixelFormat(HDC hDC);
    // Non-zero when the context (and its framebuffer of the device context's size) was made.
    int createViewGLContext(HDC hDC);
    // Makes the context current and binds its framebuffer; grows it to the DC's size if needed.
    int setViewGLContextCurrent(HDC hDC);
    // Viewport and projection for a client area of nWidth x nHeight pixels (both >= 1).
    int reshape(int nWidth, int nHeight);
    // Reads the frame back and hands it to the device context.
    int glSwapBuffers(HDC hDC);
    int killGLCurrentContext();
    int mouseLeftButtonDown(int x, int y);

    // Last EGL/GL failure in words, empty when none.
    const char* getLastError() const;

protected:
    struct SPrivate;
    SPrivate* m_pPriv;
};

// Camera operations.
class VIEWPORTKIT_API CGL4d3Operator : public CGL4d {
public:
    int getRotate(double& x, double& y, double& z);
    int getTranslate(double& x, double& y, double& z);
    CGxyz getRotateValue();
    int setRotateValue(double x, double y, double z);
    int setRotateBoolean(int bX, int bY, int bZ);
    int setTranslate(double x, double y, double z);
};

// Frames and selection passes.
class VIEWPORTKIT_API CGL4d5Display : public CGL4d3Operator {
public:
    // GL state for the scene: depth test, lighting, clear colour.
    int glqvInit();
    // Clears the frame and sets the scene transform (distance, rotation).
    int beginGLqv();
    int endGLqv();
    // Adds dz to the view distance (a negative dz moves nearer); the distance stays positive.
    int addViewDistanceZ(float dz);
    // Opens a selection pass of nSize buffer entries restricted to a w x h box around (x, y)
    // (client pixels, origin top-left); returns the buffer, or null when none can be had.
    unsigned int* glqvPickBegin(int nSize, double x, double y, double w, double h);
    // Ends the pass; number of hit records (negative when the buffer overflowed).
    int glqvPickEnd();
};

class VIEWPORTKIT_API CGL4dqv : public CGL4d5Display {};
