#pragma once

#include "siblings_export.h"

// The two 512-entry colour tables of a two-sided scale. Entry 0 is the colour at the threshold;
// colours deepen towards entry 380 (the data extreme under autofit) and are darkest at 511.
// Entries point to RGBA quadruples owned by the library and shared by all copies.
class VIEWPORTKIT_API CIndex2ColorOpenGLqv {
public:
    enum { nColorEntries = 512 };

    float* m_pColorTableMax[nColorEntries]; // values at or above the upper threshold (warm)
    float* m_pColorTableMin[nColorEntries]; // values at or below the lower threshold (cool)

    CIndex2ColorOpenGLqv();
    CIndex2ColorOpenGLqv(const CIndex2ColorOpenGLqv&) = default;
    CIndex2ColorOpenGLqv& operator=(const CIndex2ColorOpenGLqv&) = default;
    virtual ~CIndex2ColorOpenGLqv();
};
