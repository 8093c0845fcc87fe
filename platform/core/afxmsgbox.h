#pragma once

#include "cm3d_export.h"

// Message boxes of the system go through this one function. Without a handler the text goes to
// standard error (no window system needed); the window layer installs a modal box, and tests
// install a recorder.
enum : unsigned int { MB_OK = 0x0 };
enum : int { IDOK = 1 };

typedef int (*PFNMESSAGEBOXHANDLER)(const char* pszText, unsigned int nType);

// Shows pszText (UTF-8) with an OK button; returns the button pressed.
CM3D_API int AfxMessageBox(const char* pszText, unsigned int nType = MB_OK);
// Installs a handler (null restores the standard-error one); returns the previous handler.
CM3D_API PFNMESSAGEBOXHANDLER AfxSetMessageBoxHandler(PFNMESSAGEBOXHANDLER pfnHandler);
