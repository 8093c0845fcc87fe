#pragma once

// Internal to the renderer: where a channel's shown value comes from in each kind of map.

#include "mapkind.h"

#include <cstdint>

class CMDChannelqv;

struct SMapValueSource : SMapKinds {
    EMapKind nKind = kindTime;
    std::int64_t nIndex = 0; // sample (time domain) or element (frequency bin)
    std::int64_t nRow = 0;   // time-frequency cell, as the caller wants it read
    std::int64_t nColumn = 0;
    int nSpctmSelector = 0;
    int nDataSelector = 0;

    static SMapValueSource sample(std::int64_t nSample);
    static SMapValueSource freqBin(std::int64_t nBin, int nSpctmSelector, int nDataSelector);
    static SMapValueSource cell(std::int64_t nRow, std::int64_t nColumn, int nSpctmSelector,
                                int nDataSelector);

    // The frequency and spectral maps show only channels that have spectral data.
    bool needsSpectralData() const { return nKind != kindTime; }

    // The channel's value; false when the channel has no array to take it from or the selection
    // lies outside it. Every drawing that follows the renderer reads its values here.
    bool value(CMDChannelqv* pChannel, double& dValue) const;
};

// What a walk over the trial's channel slots reads: the slots and where each value comes from.
// False when there is nothing to read from, and then pszMissing says why.
struct SMapInput {
    int nSlots = 0;
    CMDChannelqv** ppChannels = nullptr;
    SMapValueSource src;
    const char* pszMissing = "no recording is loaded";

    explicit operator bool() const { return ppChannels != nullptr; }
};

// A sphere about (x, y, z) in the current material, as sensors and fiducials are drawn.
void cm3dDrawSphere(double x, double y, double z, double dRadius);

// Grey front ambient and diffuse material of the sensor and surface passes.
void cm3dSetGreyFrontMaterial();
