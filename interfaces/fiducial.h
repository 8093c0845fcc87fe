#pragma once

#include "siblings_export.h"

// One landmark of the head (nasion, pre-auricular points, ...); set when m_bSet is non-zero.
class RECORDINGKIT_API CFiduciaryPtqv {
public:
    int m_bSet = 0;
    double m_dX = 0.0;
    double m_dY = 0.0;
    double m_dZ = 0.0;

    int setPoint(double x, double y, double z);
    int clearPoint();
};

// The working fiducial set: six points in fixed order 0 to 5.
class RECORDINGKIT_API CFiducialqv {
public:
    enum { nFiducialPts = 6 };
    CFiduciaryPtqv m_FiduciaryPt[nFiducialPts];

    // Null for an index outside 0 to 5.
    CFiduciaryPtqv* getFiduciaryPt(int nIndex);
};
