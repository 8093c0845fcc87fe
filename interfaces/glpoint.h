#pragma once

#include "siblings_export.h"

// A point of the viewport library; carried by the renderer, read by nothing.
class VIEWPORTKIT_API CGLPointqv {
public:
    double m_dX = 0.0;
    double m_dY = 0.0;
    double m_dZ = 0.0;
};
