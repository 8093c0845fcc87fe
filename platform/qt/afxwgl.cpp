#include "afxwgl.h"

#include <EGL/egl.h>

BOOL wglMakeCurrent(HDC hdc, HGLRC hglrc) {
    if (hdc != nullptr || hglrc != nullptr)
        return FALSE;
    // The current context is per client API; release it for both GL and GL ES.
    const EGLenum previousApi = eglQueryAPI();
    BOOL bOk = TRUE;
    for (EGLenum api : {EGL_OPENGL_API, EGL_OPENGL_ES_API}) {
        if (eglBindAPI(api) != EGL_TRUE)
            continue;
        if (eglGetCurrentContext() == EGL_NO_CONTEXT)
            continue;
        EGLDisplay display = eglGetCurrentDisplay();
        if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT) != EGL_TRUE)
            bOk = FALSE;
    }
    eglBindAPI(previousApi);
    return bOk;
}
