#include "show3dcntmap.h"

#include "bscmagsns.h"
#include "colorentry.h"
#include "index2color.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "show3dcntmap_p.h"
#include "spctmtrial.h"

#include <GL/gl.h>

#include <cmath>

namespace {

const double dHalf = 0.5;
const double dStepsToExtreme = 380.0;
const double dZeroStepReplacement = 0.0001;

// Running extremes are kept in single precision; each comparison uses the unrounded number.
struct SExtremes {
    bool bFound = false;
    float afMin[4] = {0.0f, 0.0f, 0.0f, 0.0f}; // value, x, y, z
    float afMax[4] = {0.0f, 0.0f, 0.0f, 0.0f};

    void take(const double adNumber[4]) {
        for (int k = 0; k < 4; ++k) {
            if (!bFound) {
                afMin[k] = afMax[k] = static_cast<float>(adNumber[k]);
                continue;
            }
            if (adNumber[k] < afMin[k]) {
                afMin[k] = static_cast<float>(adNumber[k]);
            }
            if (adNumber[k] > afMax[k]) {
                afMax[k] = static_cast<float>(adNumber[k]);
            }
        }
        bFound = true;
    }
};

double _fittedStep(double dExtreme) {
    const double dStep = (dExtreme - dExtreme * dHalf) / dStepsToExtreme;
    return dStep == 0.0 ? dZeroStepReplacement : dStep;
}

// One pass over the channels taking part: their shown values and their positions.
SExtremes _scanChannels(const SMapInput& in) {
    SExtremes ext;
    for (int i = 0; i < in.nSlots; ++i) {
        CMDChannelqv* pChannel = in.ppChannels[i];
        if (!pChannel || !pChannel->isMEGMeasureChannel()) {
            continue;
        }
        CBscMagSnsqv* pCoil = pChannel->getMEGCoilqv(0);
        if (!pCoil) {
            continue;
        }
        double adNumber[4];
        if (!in.src.value(pChannel, adNumber[0])) {
            continue;
        }
        pCoil->getCoilPositionD(adNumber[1], adNumber[2], adNumber[3]);
        ext.take(adNumber);
    }
    return ext;
}

} // namespace

// The positions' bounding box and, with colour autofit, the thresholds and steps that put the
// data extremes on colour-table entry 380.
int CShow3DCntMap::_fitToChannels(const SMapInput& in) {
    if (!m_bAutofitColor && !m_bAutofitPlace) {
        return 1;
    }
    const SExtremes ext = _scanChannels(in);
    if (m_bAutofitColor) {
        const double dMin = ext.afMin[0];
        const double dMax = ext.afMax[0];
        m_dColorMin = dMin * dHalf;
        m_dColorStepMin = _fittedStep(dMin);
        m_dColorMax = dMax * dHalf;
        m_dColorStepMax = _fittedStep(dMax);
    }
    if (ext.bFound) {
        // Sums in single precision, halved in double.
        m_dCenterX = static_cast<double>(ext.afMin[1] + ext.afMax[1]) * dHalf;
        m_dCenterY = static_cast<double>(ext.afMin[2] + ext.afMax[2]) * dHalf;
        m_dCenterZ = static_cast<double>(ext.afMin[3] + ext.afMax[3]) * dHalf;
    }
    return 1;
}

int CShow3DCntMap::_checkSensorPosVlm() {
    const SMapInput in = _mapInput(SMapKinds::kindTime);
    return in ? _fitToChannels(in) : 0;
}

int CShow3DCntMap::_checkSensorPosVlmFrqc() {
    const SMapInput in = _mapInput(SMapKinds::kindFrequency);
    return in ? _fitToChannels(in) : 0;
}

// The spectral check counts the selected row and column from 1 (the drawing does not).
int CShow3DCntMap::_checkSensorPosVlmSpctm() {
    const SMapInput in = _mapInput(SMapKinds::kindSpectral, cellFromOne);
    return in ? _fitToChannels(in) : 0;
}

int CShow3DCntMap::getDataExtremes(SMapKinds::EMapKind nKind, double& dMin, double& dMax) const {
    const SMapInput in =
        _readInput(nKind, nKind == SMapKinds::kindSpectral ? cellFromOne : cellFromZero);
    if (!in) {
        return 0;
    }
    const SExtremes ext = _scanChannels(in);
    if (!ext.bFound) {
        return 0;
    }
    dMin = ext.afMin[0];
    dMax = ext.afMax[0];
    return 1;
}

int CShow3DCntMap::_setColor(float fValue) {
    const SColorEntry entry =
        cm3dColorEntry(fValue, m_dColorMin, m_dColorMax, m_dColorStepMin, m_dColorStepMax);
    const float* pColor = entry.color(m_Index2Color);
    if (!pColor) {
        // Neutral band (and NaN): no emission, the current colour stays.
        static const GLfloat afNeutral[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, afNeutral);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, afNeutral);
        return 0;
    }
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, pColor);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, pColor);
    glColor4fv(pColor);
    return entry.nTable;
}
