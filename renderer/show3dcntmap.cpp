#include "show3dcntmap.h"

#include "bscmagsns.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "show3dcntmap_p.h"
#include "spctmchnl.h"
#include "spctmtrial.h"

#include <GL/gl.h>

#include <cmath>

CShow3DCntMap::CShow3DCntMap()
    : m_dCenterX(0.0), m_dCenterY(0.0), m_dCenterZ(0.0), m_dColorStepMin(0.0), m_dColorStepMax(0.0),
      m_dColorMax(0.0), m_dColorMin(0.0), m_dSensorSize(9.0), m_bSensors(1), m_bSensorAct(1),
      m_bContourMap(1), m_bContourAct(1), m_bAutofitPlace(1), m_bAutofitColor(1),
      m_pMarkSelection(nullptr), m_nSpctmSelector(0), m_nDataSelector(0), m_pMEGData(nullptr),
      m_pTrial(nullptr) {}

CShow3DCntMap::~CShow3DCntMap() = default;

void CShow3DCntMap::_sensorPosition(CMDChannelqv* pChannel, double& x, double& y, double& z) {
    x = y = z = 0.0;
    if (CBscMagSnsqv* pCoil = pChannel->getMEGCoilqv(0)) {
        pCoil->getCoilPositionD(x, y, z);
    }
    if (m_bAutofitPlace) {
        // The centre is rounded to single precision first, as everything drawn is in floats.
        x -= static_cast<float>(m_dCenterX);
        y -= static_cast<float>(m_dCenterY);
        z -= static_cast<float>(m_dCenterZ);
    }
}

SMapInput CShow3DCntMap::_mapInput(int nKind, ECellCount eCell) {
    return _readInput(nKind, eCell);
}

SMapInput CShow3DCntMap::getMapInput(SMapKinds::EMapKind nKind) const {
    return _readInput(nKind, cellFromZero);
}

SMapInput CShow3DCntMap::_readInput(int nKind, ECellCount eCell) const {
    SMapInput in;
    if (!m_pTrial || (nKind == SMapKinds::kindTime && !m_pMEGData)) {
        return in;
    }
    in.nSlots = m_pTrial->getTotalChannel();
    if (nKind == SMapKinds::kindTime) {
        std::int64_t nSample = 0, nSampleEnd = 0;
        m_pMEGData->getSelect(nSample, nSampleEnd);
        in.src = SMapValueSource::sample(nSample);
    } else {
        CSpctmTrialqv* pSpctm = m_pTrial->getSpctmTrial(false, m_nSpctmSelector);
        if (!pSpctm) {
            in.pszMissing = "the recording has no spectral results";
            return in;
        }
        if (nKind == SMapKinds::kindFrequency) {
            in.src = SMapValueSource::freqBin(pSpctm->m_nSelectFreqBin, m_nSpctmSelector,
                                              m_nDataSelector);
        } else {
            const int nFirst = eCell == cellFromOne ? 1 : 0;
            if (pSpctm->m_nSelectRow < nFirst || pSpctm->m_nSelectColumn < nFirst) {
                in.pszMissing = "no time-frequency cell is selected";
                return in;
            }
            in.src = SMapValueSource::cell(pSpctm->m_nSelectRow - nFirst,
                                           pSpctm->m_nSelectColumn - nFirst, m_nSpctmSelector,
                                           m_nDataSelector);
        }
    }
    in.ppChannels = m_pTrial->getAllChannelPt();
    in.pszMissing = in.ppChannels ? "" : "the trial has no channels";
    return in;
}

SMapValueSource SMapValueSource::sample(std::int64_t nSample) {
    SMapValueSource src;
    src.nKind = kindTime;
    src.nIndex = nSample;
    return src;
}

SMapValueSource SMapValueSource::freqBin(std::int64_t nBin, int nSpctmSelector, int nDataSelector) {
    SMapValueSource src;
    src.nKind = kindFrequency;
    src.nIndex = nBin;
    src.nSpctmSelector = nSpctmSelector;
    src.nDataSelector = nDataSelector;
    return src;
}

SMapValueSource SMapValueSource::cell(std::int64_t nRow, std::int64_t nColumn, int nSpctmSelector,
                                      int nDataSelector) {
    SMapValueSource src;
    src.nKind = kindSpectral;
    src.nRow = nRow;
    src.nColumn = nColumn;
    src.nSpctmSelector = nSpctmSelector;
    src.nDataSelector = nDataSelector;
    return src;
}

bool SMapValueSource::value(CMDChannelqv* pChannel, double& dValue) const {
    // A selection a host set outside the channel's arrays leaves the channel without a value,
    // as a missing array does, rather than reading past them.
    if (nKind == kindTime) {
        const double* pWave = pChannel->getDataWave();
        if (!pWave || nIndex < 0 || nIndex >= pChannel->getSampleCount()) {
            return false;
        }
        dValue = pWave[nIndex];
        return true;
    }
    CSpctmChnlqv* pSpctm = pChannel->getSpctmChnl(false, nSpctmSelector);
    if (!pSpctm) {
        return false;
    }
    std::int64_t nRows = 0, nRowLength = 0;
    const double* pData = pSpctm->getSpctmDataPtr(nDataSelector, &nRows, &nRowLength);
    if (!pData || nRows < 1 || nRowLength < 1) {
        return false;
    }
    // A bin is checked by its row, so that no product of sizes can overflow.
    const bool bInside = nKind == kindFrequency
                             ? nIndex >= 0 && nIndex / nRowLength < nRows
                             : nRow >= 0 && nRow < nRows && nColumn >= 0 && nColumn < nRowLength;
    if (!bInside) {
        return false;
    }
    const std::int64_t nElement = nKind == kindFrequency ? nIndex : nRow * nRowLength + nColumn;
    dValue = pData[nElement];
    return true;
}

void cm3dSetGreyFrontMaterial() {
    static const GLfloat afGrey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    glMaterialfv(GL_FRONT, GL_AMBIENT, afGrey);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, afGrey);
}
