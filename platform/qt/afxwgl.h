#pragma once

// The one GL-context call the views make themselves: wglMakeCurrent(NULL, NULL) leaves no
// context current, whichever context the viewport library made current on this thread.

#include "afxdc.h"

// With a null device context and a null context: releases the current EGL context (TRUE, also
// when none was current). Making a given context current is the viewport library's job: FALSE.
CM3D_API BOOL wglMakeCurrent(HDC hdc, HGLRC hglrc);
