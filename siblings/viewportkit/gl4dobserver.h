#pragma once

// A seam for tests: calls the viewport makes while an observer is set, so a test can count the
// contexts made and killed, see the reshapes and refuse contexts. Unset (always, outside tests)
// each costs one pointer test. Not installed: hosts have no use for it.

#include "siblings_export.h"

struct SGL4dObserver {
    // createViewGLContext was called; returning 0 refuses the context, as a driver that cannot
    // make one would.
    int (*pfnContextWanted)() = nullptr;
    // createViewGLContext returns nResult.
    void (*pfnContextCreated)(int nResult) = nullptr;
    // reshape was called with this size.
    void (*pfnReshape)(int nWidth, int nHeight) = nullptr;
    // killGLCurrentContext was called.
    void (*pfnContextKilled)() = nullptr;
};

// Sets the observer (null: none) and returns the one set before. The observer must outlive its
// setting.
VIEWPORTKIT_API const SGL4dObserver* setGL4dObserver(const SGL4dObserver* pObserver);
