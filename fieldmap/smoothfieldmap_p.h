#pragma once

// Internal to the smooth field map: what one CSmoothFieldMap keeps between calls.

#include "capmesh.h"
#include "index2color.h"
#include "smoothfieldmap.h"
#include "spherefit.h"
#include "sphericalspline.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CMDChannelqv;

struct CSmoothFieldMap::SPrivate {
    // Settings.
    int nColorMode = colorThresholds;
    int nIsolines = nDefaultIsolines;

    // What the last update took from the renderer.
    std::string strMessage;
    int nKind = kindTime;
    double adShift[3] = {0.0, 0.0, 0.0}; // subtracted from recording coordinates when drawn
    bool bShowSensors = true;
    bool bShowFiducials = false;
    int nMarkedSlot = -1;
    double dColorMin = 0.0, dColorMax = 0.0, dStepMin = 0.0, dStepMax = 0.0;
    CIndex2ColorOpenGLqv tables;

    // The layout: the sensors taking part, by slot and position.
    struct SSensor {
        int nSlot;
        double adPos[3];
        bool operator==(const SSensor& o) const {
            return nSlot == o.nSlot && adPos[0] == o.adPos[0] && adPos[1] == o.adPos[1] &&
                   adPos[2] == o.adPos[2];
        }
    };
    std::vector<SSensor> aLayout;
    bool bLayoutValid = false;    // aLayout is the set the surface below was made for
    bool bHasSurface = false;     // the layout gave a surface
    bool bReady = false;          // and the last update interpolated on it
    std::string strLayoutMessage; // why the layout has no surface

    // Sensors drawn and picked: those taking part (in layout order) and the others that have a
    // place but no part (bad, without a value).
    std::vector<int> aSlots;
    std::vector<double> aValues;
    std::vector<double> aSensorPositions; // x, y, z of each sensor in aSlots
    std::vector<float> aSensorDots;       // pushed out a little, so the surface does not hide them
    std::vector<float> aExcludedDots;     // likewise
    int nMarkedDot = -1; // index into aSensorDots/aExcludedDots, see bMarkedExcluded
    bool bMarkedExcluded = false;

    // The surface.
    fieldmap::SSphere sphere;
    fieldmap::CSphericalSpline spline;
    Eigen::MatrixXd kernel; // vertices x sensors
    std::vector<fieldmap::Vec3> aDirections;
    std::vector<float> aVertices;
    std::vector<float> aNormals;
    std::vector<unsigned> aTriangles;

    // The interpolation of the last values.
    std::vector<double> aSolvedValues; // the values the coefficients were solved for
    Eigen::VectorXd coefficients;      // for values divided by dLimit
    double dLimit = 0.0;
    // Non-negative data (merged gradiometers, spectra): the continuous scale runs from 0 to
    // dLimit, white to red. In the time domain every sample of the channels taking part
    // decides, so that signed data positive at one sample keeps its two-sided scale.
    bool bSequential = false;
    // The waves last scanned for a sign (data, count per channel) and whether all were >= 0.
    std::vector<std::pair<const double*, std::int64_t>> aScannedWaves;
    bool bWavesNonNegative = false;
    std::vector<double> aVertexValues;
    // Colours come from a one-dimensional texture of the scale over [dTexLow, dTexHigh], read
    // at each vertex's value, so that a threshold or a colour step falls where the
    // interpolated value crosses it inside a triangle, not along the triangles' edges.
    std::vector<float> aTexCoords;
    double dTexLow = 0.0, dTexHigh = 1.0;
    // The texture itself is kept in the context it was made in until the colours change: what
    // its texels depend on, and the context (null for one this library cannot name, which gets
    // a texture per paint).
    struct STextureKey {
        int nColorMode = -1;
        int nTexels = 0;
        double adRange[7] = {}; // dTexLow, dTexHigh, dLimit, thresholds and steps
        CIndex2ColorOpenGLqv tables;
        bool operator==(const STextureKey& o) const;
    };
    unsigned nTexture = 0;
    const void* pTextureContext = nullptr;
    STextureKey textureKey;
    std::vector<unsigned char> aShades; // grey RGBA per vertex: the surface's facing
    std::vector<float> aIsolines;       // segment end points
    std::vector<float> aZeroLine;

    // The matrices of the last draw.
    bool bHasFrame = false;
    double adModelview[16] = {};
    double adProjection[16] = {};
    int anViewport[4] = {};

    int fail(const std::string& strWhy);
    bool buildLayout();
    // Whether every sample of the channels taking part (aSlots) is 0 or more; scanned once per
    // set of waves.
    bool wavesNonNegative(CMDChannelqv** ppChannels);
    void interpolate();
    void colorVertices();
    // The scale's colours from dTexLow to dTexHigh, nTexels of them.
    std::vector<unsigned char> textureTexels(int nTexels) const;
    // Binds the colour texture of the current colours in the current context, made or filled
    // again only when either changed; after the paint, releaseTexture(false) lets go of a
    // texture kept for no context, releaseTexture(true) of any texture of the current context.
    void bindTexture();
    void releaseTexture(bool bAlways);
    void traceIsolines();
    void thresholdColor(double dValue, float afRgba[4]) const;
};
