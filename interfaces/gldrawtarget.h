#pragma once

#include "siblings_export.h"

// What the viewport library needs of a device context: the pixel size to render at and a place
// to put each finished frame. A window's device context paints the frame onto the window; an
// offscreen one keeps it (headless rendering, tests).
class VIEWPORTKIT_API CGLDrawTargetqv {
public:
    virtual ~CGLDrawTargetqv();
    virtual int getTargetWidth() = 0;
    virtual int getTargetHeight() = 0;
    // pRGBA: nWidth x nHeight pixels, 4 bytes each, top row first.
    virtual int presentFrame(const unsigned char* pRGBA, int nWidth, int nHeight) = 0;
};

// The device-context handle the viewport library's operations take.
typedef CGLDrawTargetqv* HDC;
