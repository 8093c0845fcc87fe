#pragma once

#include "siblings_export.h"

// Material state for geometry drawn in a plain colour (the fiducial points).
class VIEWPORTKIT_API CGLmaterialqv {
public:
    CGLmaterialqv();
    virtual ~CGLmaterialqv();

    // Resets emission and specular to none and the shininess to the library default.
    int initMaterial();
    // COLORREF 0x00BBGGRR; the following geometry is drawn in that colour.
    int setCurrentColorAmbt(unsigned long nColorRef);
};

class VIEWPORTKIT_API CGLmaterialqv1Face : public CGLmaterialqv {};
