#pragma once

// A seam for tests: calls the window layer makes while an observer is set, so a test can see
// what the views drew and make the window system fail. Unset (always, outside tests) each costs
// one pointer test. Not installed: hosts have no use for it.

#include "cm3d_export.h"

struct SWndObserver {
    // CDC::TextOutW is about to draw nCount characters of lpszString at (x, y).
    void (*pfnTextOut)(int x, int y, const wchar_t* lpszString, int nCount) = nullptr;
    // CWnd::ReleaseDC has released (or refused) a device context with nResult; what this returns
    // is what ReleaseDC reports.
    int (*pfnReleasedDC)(int nResult) = nullptr;
};

// Sets the observer (null: none) and returns the one set before. The observer must outlive its
// setting.
CM3D_API const SWndObserver* AfxSetWndObserver(const SWndObserver* pObserver);

namespace afxqt {
// The observer the layer calls; null when none is set.
extern const SWndObserver* g_pWndObserver;
} // namespace afxqt
