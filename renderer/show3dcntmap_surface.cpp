#include "show3dcntmap.h"

#include "bscmagsns.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "show3dcntmap_p.h"
#include "spctmtrial.h"

#include <GL/gl.h>

#include <cmath>

namespace {

const double dNeighbourRadius = 60.0;

bool _withinRadius(const double adA[3], const double adB[3], bool bDouble) {
    const double dx = adA[0] - adB[0];
    const double dy = adA[1] - adB[1];
    const double dz = adA[2] - adB[2];
    const double dDistance = std::sqrt(dx * dx + dy * dy + dz * dz);
    return bDouble ? dDistance <= dNeighbourRadius
                   : static_cast<float>(dDistance) <= dNeighbourRadius;
}

} // namespace

void CShow3DCntMap::_emitVertex(CMDChannelqv* pChannel, bool bHasValue, double dValue) {
    if (m_bContourAct && bHasValue) {
        _setColor(static_cast<float>(dValue));
    }
    double x, y, z;
    _sensorPosition(pChannel, x, y, z);
    // The normal points from the array's centre (or the origin) through the sensor.
    glNormal3f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
    glVertex3f(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

// One triangle fan per measuring sensor: its own position first, then every neighbour within
// the radius in slot order (itself included), each vertex coloured by its own value. Rim
// vertices are not sorted around the centre, so fans may fold and neighbouring fans overlap.
int CShow3DCntMap::_drawTriFans(const SMapInput& in, ERimChannels eRim,
                                EDistancePrecision eDistance) {
    cm3dSetGreyFrontMaterial();
    const int nSlots = in.nSlots;
    CMDChannelqv** ppChannels = in.ppChannels;
    const SMapValueSource& src = in.src;
    if (nSlots < 1) {
        return 1;
    }
    const bool bNeedsValue = src.needsSpectralData();
    for (int i = 0; i < nSlots; ++i) {
        CMDChannelqv* pCentre = ppChannels[i];
        if (!pCentre || !pCentre->isMEGMeasureChannel()) {
            continue;
        }
        CBscMagSnsqv* pCentreCoil = pCentre->getMEGCoilqv(0);
        if (!pCentreCoil) {
            continue;
        }
        double dCentreValue = 0.0;
        const bool bCentreHasValue = src.value(pCentre, dCentreValue);
        if (bNeedsValue && !bCentreHasValue) {
            continue;
        }
        double adCentre[3];
        pCentreCoil->getCoilPositionD(adCentre[0], adCentre[1], adCentre[2]);

        glBegin(GL_TRIANGLE_FAN);
        _emitVertex(pCentre, bCentreHasValue, dCentreValue);
        for (int j = 0; j < nSlots; ++j) {
            CMDChannelqv* pRim = ppChannels[j];
            if (!pRim || (eRim == goodRimOnly && !m_pMEGData->isGoodChnl4Alltrials(j)) ||
                !pRim->isMEGMeasureChannel()) {
                continue;
            }
            CBscMagSnsqv* pRimCoil = pRim->getMEGCoilqv(0);
            if (!pRimCoil) {
                continue;
            }
            double dRimValue = 0.0;
            const bool bRimHasValue = src.value(pRim, dRimValue);
            if (bNeedsValue && !bRimHasValue) {
                continue;
            }
            double adRim[3];
            pRimCoil->getCoilPositionD(adRim[0], adRim[1], adRim[2]);
            if (_withinRadius(adRim, adCentre, eDistance == doubleDistance)) {
                _emitVertex(pRim, bRimHasValue, dRimValue);
            }
        }
        glEnd();
    }
    return 1;
}

// Only the time-domain surface leaves out neighbours that are not good for all trials.
int CShow3DCntMap::drawSensorMapTriFan() {
    const SMapInput in = _mapInput(SMapKinds::kindTime);
    return in ? _drawTriFans(in, goodRimOnly, singleDistance) : 0;
}

// The frequency surface compares distances in double precision.
int CShow3DCntMap::drawSensorMapTriFanFrqc() {
    const SMapInput in = _mapInput(SMapKinds::kindFrequency);
    return in ? _drawTriFans(in, anyRim, doubleDistance) : 0;
}

int CShow3DCntMap::drawSensorMapTriFanSpctm() {
    const SMapInput in = _mapInput(SMapKinds::kindSpectral);
    return in ? _drawTriFans(in, anyRim, singleDistance) : 0;
}
