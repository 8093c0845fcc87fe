#include "gl4dobserver.h"
#include "gl4dprivate.h"
#include "glimagetarget.h"

#include <EGL/eglext.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <typeinfo>

namespace {

const SGL4dObserver* s_pObserver = nullptr;

// One EGL display serves every viewport object; it is initialised by the first object that asks
// for a pixel format and terminated when the last such object goes.
struct SSharedDisplay {
    EGLDisplay display = EGL_NO_DISPLAY;
    int nRefs = 0;
};

SSharedDisplay& sharedDisplay() {
    static SSharedDisplay s;
    return s;
}

std::string eglErrorText(EGLint nCode) {
    switch (nCode) {
    case EGL_SUCCESS:
        return "EGL_SUCCESS";
    case EGL_NOT_INITIALIZED:
        return "EGL_NOT_INITIALIZED";
    case EGL_BAD_ACCESS:
        return "EGL_BAD_ACCESS";
    case EGL_BAD_ALLOC:
        return "EGL_BAD_ALLOC";
    case EGL_BAD_ATTRIBUTE:
        return "EGL_BAD_ATTRIBUTE";
    case EGL_BAD_CONFIG:
        return "EGL_BAD_CONFIG";
    case EGL_BAD_CONTEXT:
        return "EGL_BAD_CONTEXT";
    case EGL_BAD_DISPLAY:
        return "EGL_BAD_DISPLAY";
    case EGL_BAD_MATCH:
        return "EGL_BAD_MATCH";
    case EGL_BAD_PARAMETER:
        return "EGL_BAD_PARAMETER";
    case EGL_BAD_SURFACE:
        return "EGL_BAD_SURFACE";
    case EGL_CONTEXT_LOST:
        return "EGL_CONTEXT_LOST";
    default:
        return "EGL error " + std::to_string(nCode);
    }
}

bool hasExtension(const char* pszList, const char* pszName) {
    if (pszList == nullptr)
        return false;
    const size_t nLen = std::strlen(pszName);
    for (const char* p = pszList; (p = std::strstr(p, pszName)) != nullptr; p += nLen) {
        const bool bStart = p == pszList || p[-1] == ' ';
        const bool bEnd = p[nLen] == '\0' || p[nLen] == ' ';
        if (bStart && bEnd)
            return true;
    }
    return false;
}

bool surfacelessSupported(EGLDisplay display) {
    return hasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context");
}

// An RGBA8 + depth-24 configuration for desktop OpenGL; exact 8-bit channels are preferred so
// that read-back matches what was drawn.
EGLConfig chooseConfig(EGLDisplay display) {
    const EGLint nSurfaceType = surfacelessSupported(display) ? EGL_DONT_CARE : EGL_PBUFFER_BIT;
    const EGLint attribs[] = {EGL_RED_SIZE,
                              8,
                              EGL_GREEN_SIZE,
                              8,
                              EGL_BLUE_SIZE,
                              8,
                              EGL_ALPHA_SIZE,
                              8,
                              EGL_DEPTH_SIZE,
                              24,
                              EGL_RENDERABLE_TYPE,
                              EGL_OPENGL_BIT,
                              EGL_SURFACE_TYPE,
                              nSurfaceType,
                              EGL_NONE};
    EGLint nCount = 0;
    if (!eglChooseConfig(display, attribs, nullptr, 0, &nCount) || nCount < 1)
        return nullptr;
    std::vector<EGLConfig> configs(static_cast<size_t>(nCount));
    if (!eglChooseConfig(display, attribs, configs.data(), nCount, &nCount) || nCount < 1)
        return nullptr;
    for (EGLint i = 0; i < nCount; ++i) {
        EGLint r = 0, g = 0, b = 0, a = 0;
        eglGetConfigAttrib(display, configs[i], EGL_RED_SIZE, &r);
        eglGetConfigAttrib(display, configs[i], EGL_GREEN_SIZE, &g);
        eglGetConfigAttrib(display, configs[i], EGL_BLUE_SIZE, &b);
        eglGetConfigAttrib(display, configs[i], EGL_ALPHA_SIZE, &a);
        if (r == 8 && g == 8 && b == 8 && a == 8)
            return configs[i];
    }
    return configs[0];
}

// Initialises the display and keeps it only if it can give a desktop OpenGL configuration.
bool tryDisplay(EGLDisplay display, const char* pszName, std::string& strWhy) {
    if (display == EGL_NO_DISPLAY) {
        strWhy += std::string(pszName) + ": no display; ";
        return false;
    }
    EGLint nMajor = 0, nMinor = 0;
    if (!eglInitialize(display, &nMajor, &nMinor)) {
        strWhy +=
            std::string(pszName) + ": eglInitialize failed (" + eglErrorText(eglGetError()) + "); ";
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_API) || chooseConfig(display) == nullptr) {
        strWhy += std::string(pszName) + ": no RGBA8/depth-24 desktop OpenGL configuration; ";
        eglTerminate(display);
        return false;
    }
    return true;
}

EGLDisplay openDisplay(std::string& strWhy) {
    const char* pszClient = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto pfnGetPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));

    if (pfnGetPlatformDisplay != nullptr &&
        hasExtension(pszClient, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay display =
            pfnGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (tryDisplay(display, "surfaceless platform", strWhy))
            return display;
    }

    auto pfnQueryDevices =
        reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    if (pfnGetPlatformDisplay != nullptr && pfnQueryDevices != nullptr &&
        hasExtension(pszClient, "EGL_EXT_platform_device")) {
        EGLDeviceEXT device = nullptr;
        EGLint nDevices = 0;
        if (pfnQueryDevices(1, &device, &nDevices) && nDevices > 0) {
            EGLDisplay display = pfnGetPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, device, nullptr);
            if (tryDisplay(display, "device platform", strWhy))
                return display;
        } else {
            strWhy += "device platform: no device; ";
        }
    }

    EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (tryDisplay(display, "default display", strWhy))
        return display;
    return EGL_NO_DISPLAY;
}

EGLDisplay acquireDisplay(std::string& strWhy) {
    SSharedDisplay& shared = sharedDisplay();
    if (shared.nRefs == 0) {
        shared.display = openDisplay(strWhy);
        if (shared.display == EGL_NO_DISPLAY)
            return EGL_NO_DISPLAY;
    }
    ++shared.nRefs;
    return shared.display;
}

void releaseDisplay() {
    SSharedDisplay& shared = sharedDisplay();
    if (shared.nRefs <= 0)
        return;
    if (--shared.nRefs == 0) {
        eglTerminate(shared.display);
        shared.display = EGL_NO_DISPLAY;
    }
}

EGLDisplay heldDisplay() {
    return sharedDisplay().display;
}

void drainGlErrors() {
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

} // namespace

bool CGL4d::SPrivate::isCurrent() const {
    if (context == EGL_NO_CONTEXT)
        return false;
    eglBindAPI(EGL_OPENGL_API);
    return eglGetCurrentContext() == context;
}

int CGL4d::SPrivate::fail(const std::string& strWhy) {
    strError = strWhy;
    return 0;
}

bool CGL4d::SPrivate::requireCurrent(const char* pszOperation) {
    strError.clear();
    if (context == EGL_NO_CONTEXT) {
        fail(std::string(pszOperation) + ": no OpenGL context (createViewGLContext first)");
        return false;
    }
    if (!isCurrent()) {
        fail(std::string(pszOperation) +
             ": the viewport's context is not current (setViewGLContextCurrent first)");
        return false;
    }
    return true;
}

int CGL4d::SPrivate::makeCurrent(HDC hDC) {
    EGLDisplay display = heldDisplay();
    eglBindAPI(EGL_OPENGL_API);
    if (eglGetCurrentContext() != context || eglGetCurrentSurface(EGL_DRAW) != surface) {
        if (!eglMakeCurrent(display, surface, surface, context))
            return fail("eglMakeCurrent failed (" + eglErrorText(eglGetError()) + ")");
    }

    GLint nMaxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &nMaxSize);
    nMaxSize = std::max(nMaxSize, 1);
    // A target smaller than one pixel still gets a 1x1 framebuffer so that drawing stays legal.
    const int nWidth = std::clamp(hDC->getTargetWidth(), 1, static_cast<int>(nMaxSize));
    const int nHeight = std::clamp(hDC->getTargetHeight(), 1, static_cast<int>(nMaxSize));

    if (nFramebuffer == 0) {
        glGenFramebuffers(1, &nFramebuffer);
        glGenRenderbuffers(1, &nColorBuffer);
        glGenRenderbuffers(1, &nDepthBuffer);
        if (nFramebuffer == 0 || nColorBuffer == 0 || nDepthBuffer == 0)
            return fail("could not create the framebuffer object");
    }
    glBindFramebuffer(GL_FRAMEBUFFER, nFramebuffer);
    if (nWidth != nFboWidth || nHeight != nFboHeight) {
        drainGlErrors();
        glBindRenderbuffer(GL_RENDERBUFFER, nColorBuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, nWidth, nHeight);
        glBindRenderbuffer(GL_RENDERBUFFER, nDepthBuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, nWidth, nHeight);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  nColorBuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                  nDepthBuffer);
        const GLenum nGlError = glGetError();
        if (nGlError != GL_NO_ERROR) {
            nFboWidth = nFboHeight = 0;
            return fail("framebuffer of " + std::to_string(nWidth) + "x" + std::to_string(nHeight) +
                        " could not be allocated (GL error " + std::to_string(nGlError) + ")");
        }
        nFboWidth = nWidth;
        nFboHeight = nHeight;
    }
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        return fail("framebuffer object is incomplete");
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    return 1;
}

void CGL4d::SPrivate::applyProjection(const double* pPickRegion) const {
    const int nWidth = std::max(nViewWidth, 1);
    const int nHeight = std::max(nViewHeight, 1);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (pPickRegion != nullptr) {
        GLint viewport[4] = {0, 0, nWidth, nHeight};
        gluPickMatrix(pPickRegion[0], pPickRegion[1], pPickRegion[2], pPickRegion[3], viewport);
    }
    gluPerspective(viewportkit::kFieldOfViewY, static_cast<double>(nWidth) / nHeight,
                   viewportkit::kNearPlane, viewportkit::kFarPlane);
    glMatrixMode(GL_MODELVIEW);
}

void CGL4d::SPrivate::applySceneTransform() const {
    glTranslated(dTranslate[0], dTranslate[1], dTranslate[2]);
    if (bRotate[0])
        glRotated(dRotate[0], 1.0, 0.0, 0.0);
    if (bRotate[1])
        glRotated(dRotate[1], 0.0, 1.0, 0.0);
    if (bRotate[2])
        glRotated(dRotate[2], 0.0, 0.0, 1.0);
}

void CGL4d::SPrivate::destroyContext() {
    if (context == EGL_NO_CONTEXT)
        return;
    EGLDisplay display = heldDisplay();
    if (isCurrent()) {
        // Only a current context can delete its objects; otherwise they go with the context.
        if (bPicking)
            glRenderMode(GL_RENDER);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &nFramebuffer);
        glDeleteRenderbuffers(1, &nColorBuffer);
        glDeleteRenderbuffers(1, &nDepthBuffer);
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    eglDestroyContext(display, context);
    if (surface != EGL_NO_SURFACE)
        eglDestroySurface(display, surface);
    context = EGL_NO_CONTEXT;
    surface = EGL_NO_SURFACE;
    nFramebuffer = nColorBuffer = nDepthBuffer = 0;
    nFboWidth = nFboHeight = 0;
    bPicking = false;
    nPackInvert = -1;
}

CGL4d::CGL4d() : m_pPriv(new (std::nothrow) SPrivate) {}

CGL4d::~CGL4d() {
    if (m_pPriv == nullptr)
        return;
    m_pPriv->destroyContext();
    if (m_pPriv->bDisplayHeld)
        releaseDisplay();
    delete m_pPriv;
    m_pPriv = nullptr;
}

// The configuration depends only on the display, so a null device context or one of zero size
// is accepted here; the size matters only when the context's framebuffer is made.
int CGL4d::setWindowPixelFormat(HDC) {
    if (m_pPriv == nullptr)
        return 0;
    SPrivate& p = *m_pPriv;
    p.strError.clear();
    if (!p.bDisplayHeld) {
        std::string strWhy;
        if (acquireDisplay(strWhy) == EGL_NO_DISPLAY) {
            while (!strWhy.empty() && (strWhy.back() == ' ' || strWhy.back() == ';'))
                strWhy.pop_back();
            return p.fail("no usable EGL display: " + strWhy);
        }
        p.bDisplayHeld = true;
    }
    eglBindAPI(EGL_OPENGL_API);
    p.config = chooseConfig(heldDisplay());
    if (p.config == nullptr)
        return p.fail("no RGBA8/depth-24 desktop OpenGL configuration");
    return 1;
}

const SGL4dObserver* setGL4dObserver(const SGL4dObserver* pObserver) {
    const SGL4dObserver* pPrevious = s_pObserver;
    s_pObserver = pObserver;
    return pPrevious;
}

// Leaves the new context current with its framebuffer bound, so the view can set up the GL state
// right after creation.
int CGL4d::SPrivate::createContext(HDC hDC) {
    strError.clear();
    if (hDC == nullptr)
        return fail("createViewGLContext: no device context");
    if (!bDisplayHeld || config == nullptr)
        return fail("createViewGLContext: no pixel format (setWindowPixelFormat first)");
    destroyContext();

    EGLDisplay display = heldDisplay();
    if (!eglBindAPI(EGL_OPENGL_API))
        return fail("desktop OpenGL is not available through EGL");
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT)
        return fail("eglCreateContext failed (" + eglErrorText(eglGetError()) + ")");
    if (!surfacelessSupported(display)) {
        const EGLint attribs[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
        surface = eglCreatePbufferSurface(display, config, attribs);
        if (surface == EGL_NO_SURFACE) {
            const std::string strWhy = eglErrorText(eglGetError());
            destroyContext();
            return fail("eglCreatePbufferSurface failed (" + strWhy + ")");
        }
    }
    if (!makeCurrent(hDC)) {
        const std::string strWhy = strError;
        destroyContext();
        return fail(strWhy);
    }
    nViewWidth = nFboWidth;
    nViewHeight = nFboHeight;
    glViewport(0, 0, nViewWidth, nViewHeight);
    applyProjection(nullptr);
    glLoadIdentity();
    return 1;
}

int CGL4d::createViewGLContext(HDC hDC) {
    if (s_pObserver != nullptr && s_pObserver->pfnContextWanted != nullptr &&
        !s_pObserver->pfnContextWanted())
        return m_pPriv ? m_pPriv->fail("createViewGLContext: the context was refused") : 0;
    const int nResult = m_pPriv ? m_pPriv->createContext(hDC) : 0;
    if (s_pObserver != nullptr && s_pObserver->pfnContextCreated != nullptr)
        s_pObserver->pfnContextCreated(nResult);
    return nResult;
}

int CGL4d::setViewGLContextCurrent(HDC hDC) {
    if (m_pPriv == nullptr)
        return 0;
    SPrivate& p = *m_pPriv;
    p.strError.clear();
    if (p.context == EGL_NO_CONTEXT)
        return p.fail("setViewGLContextCurrent: no OpenGL context (createViewGLContext first)");
    if (hDC == nullptr)
        return p.fail("setViewGLContextCurrent: no device context");
    return p.makeCurrent(hDC);
}

int CGL4d::reshape(int nWidth, int nHeight) {
    if (s_pObserver != nullptr && s_pObserver->pfnReshape != nullptr)
        s_pObserver->pfnReshape(nWidth, nHeight);
    if (m_pPriv == nullptr)
        return 0;
    SPrivate& p = *m_pPriv;
    if (!p.requireCurrent("reshape"))
        return 0;
    if (nWidth < 1 || nHeight < 1)
        return p.fail("reshape: width and height must be at least 1, got " +
                      std::to_string(nWidth) + "x" + std::to_string(nHeight));
    if (p.bPicking)
        return p.fail("reshape: a selection pass is open");
    p.nViewWidth = nWidth;
    p.nViewHeight = nHeight;
    glViewport(0, 0, nWidth, nHeight);
    p.applyProjection(nullptr);
    return 1;
}

int CGL4d::glSwapBuffers(HDC hDC) {
    if (m_pPriv == nullptr)
        return 0;
    SPrivate& p = *m_pPriv;
    if (hDC == nullptr) {
        p.strError.clear();
        return p.fail("glSwapBuffers: no device context");
    }
    if (!p.requireCurrent("glSwapBuffers"))
        return 0;
    if (p.bPicking)
        return p.fail("glSwapBuffers: a selection pass is open");
    const int nWidth = p.nFboWidth;
    const int nHeight = p.nFboHeight;
    const size_t nRow = static_cast<size_t>(nWidth) * 4;
    // The library's own image target (not a subclass, which may present differently) takes the
    // rows straight into its storage; other targets get them from the frame kept here. Once the
    // size is steady nothing is allocated, cleared or copied on the way.
    auto* pImage =
        typeid(*hDC) == typeid(CGLImageTargetqv) ? static_cast<CGLImageTargetqv*>(hDC) : nullptr;
    unsigned char* pPixels = nullptr;
    try {
        if (pImage != nullptr) {
            pPixels = pImage->_frameStorage(nWidth, nHeight);
        } else {
            p.frame.resize(nRow * static_cast<size_t>(nHeight));
            pPixels = p.frame.data();
        }
    } catch (const std::bad_alloc&) {
        if (pImage != nullptr) {
            pImage->clearFrame();
            return p.fail("glSwapBuffers: the device context refused the frame");
        }
        return p.fail("glSwapBuffers: out of memory for the frame");
    }
    if (p.nPackInvert < 0)
        p.nPackInvert = hasExtension(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)),
                                     "GL_MESA_pack_invert")
                            ? 1
                            : 0;
    glBindFramebuffer(GL_FRAMEBUFFER, p.nFramebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    // OpenGL reads bottom row first; device contexts take the top row first. Where the driver
    // can, it turns the rows while reading.
    if (p.nPackInvert)
        glPixelStorei(GL_PACK_INVERT_MESA, GL_TRUE);
    glReadPixels(0, 0, nWidth, nHeight, GL_RGBA, GL_UNSIGNED_BYTE, pPixels);
    if (p.nPackInvert)
        glPixelStorei(GL_PACK_INVERT_MESA, GL_FALSE);
    glPopClientAttrib();
    if (!p.nPackInvert) {
        for (int y = 0; y < nHeight / 2; ++y) {
            unsigned char* pTop = pPixels + static_cast<size_t>(y) * nRow;
            std::swap_ranges(pTop, pTop + nRow,
                             pPixels + static_cast<size_t>(nHeight - 1 - y) * nRow);
        }
    }
    if (pImage != nullptr)
        return 1;
    if (!hDC->presentFrame(pPixels, nWidth, nHeight))
        return p.fail("glSwapBuffers: the device context refused the frame");
    return 1;
}

int CGL4d::killGLCurrentContext() {
    if (s_pObserver != nullptr && s_pObserver->pfnContextKilled != nullptr)
        s_pObserver->pfnContextKilled();
    if (m_pPriv == nullptr)
        return 0;
    SPrivate& p = *m_pPriv;
    p.strError.clear();
    if (p.context == EGL_NO_CONTEXT)
        return p.fail("killGLCurrentContext: no context to release");
    p.destroyContext();
    return 1;
}

int CGL4d::mouseLeftButtonDown(int x, int y) {
    if (m_pPriv == nullptr)
        return 0;
    m_pPriv->nMouseX = x;
    m_pPriv->nMouseY = y;
    return 1;
}

const char* CGL4d::getLastError() const {
    return m_pPriv == nullptr ? "viewport state could not be allocated" : m_pPriv->strError.c_str();
}
