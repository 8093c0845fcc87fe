#include "show3dcntmap.h"

#include "afxmsgbox.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "show3dcntmap_p.h"
#include "spctmtrial.h"

#include <cstdio>

namespace {

// Raw extremes of the shown values over the channels that have one; 0.0 when none has.
void _takeRawExtremes(CShow3DCntMapqv& map, int nSlots, CMDChannelqv** ppChannels,
                      const SMapValueSource& src) {
    map.m_dColorMax = 0.0;
    map.m_dColorMin = 0.0;
    bool bFirst = true;
    for (int i = 0; ppChannels && i < nSlots; ++i) {
        CMDChannelqv* pChannel = ppChannels[i];
        if (!pChannel || !pChannel->isMEGMeasureChannel()) {
            continue;
        }
        double dValue = 0.0;
        if (!src.value(pChannel, dValue)) {
            continue;
        }
        if (bFirst) {
            map.m_dColorMax = map.m_dColorMin = dValue;
            bFirst = false;
            continue;
        }
        if (dValue < map.m_dColorMin) {
            map.m_dColorMin = dValue;
        }
        if (dValue > map.m_dColorMax) {
            map.m_dColorMax = dValue;
        }
    }
}

// The frequency and spectral loaders share everything but the element they read (nKind is
// SMapKinds::kindFrequency or kindSpectral).
int _loadSpectral(CShow3DCntMapqv& map, CMEGDataqv* pData, SMapKinds::EMapKind nKind) {
    if (!pData) {
        map.m_pMEGData = nullptr;
        map.m_pTrial = nullptr;
        return 0;
    }
    map.m_pMEGData = pData;
    map.m_pTrial = pData->getTrialqv(-1);
    if (!map.m_pTrial) {
        return 0;
    }
    const int nSlots = map.m_pTrial->getTotalChannel();
    CSpctmTrialqv* pSpctm = map.m_pTrial->getSpctmTrial(false, map.m_nSpctmSelector);
    if (!pSpctm) {
        return 0;
    }
    SMapValueSource src;
    if (nKind == SMapKinds::kindSpectral) {
        src = SMapValueSource::cell(pSpctm->m_nSelectRow, pSpctm->m_nSelectColumn,
                                    map.m_nSpctmSelector, map.m_nDataSelector);
    } else {
        std::int64_t nTime = 0, nBin = 0;
        pSpctm->getTrialSpctmSelectTimeFreqBB(nTime, nBin);
        src = SMapValueSource::freqBin(nBin, map.m_nSpctmSelector, map.m_nDataSelector);
    }
    CMDChannelqv** ppChannels = map.m_pTrial->getAllChannelPt();
    if (map.m_bAutofitColor) {
        _takeRawExtremes(map, nSlots, ppChannels, src);
    }
    return 1;
}

} // namespace

CShow3DCntMapqv::CShow3DCntMapqv() = default;
CShow3DCntMapqv::~CShow3DCntMapqv() = default;

double CShow3DCntMapqv::getSensorSize() {
    return m_dSensorSize;
}

int CShow3DCntMapqv::setSensorSize(double dSize) {
    m_dSensorSize = dSize;
    return 1;
}

int CShow3DCntMapqv::setMegData(CMEGDataqv* pData) {
    if (!pData) {
        m_pTrial = nullptr;
        m_pMEGData = nullptr;
        return 0;
    }
    int nChannels = 0;
    std::int64_t nSamples = 0;
    CMDTrialqv* pTrial = nullptr;
    const int nStatus = pData->getCurntTrialCSD(&nChannels, &nSamples, &pTrial);
    if (nChannels < 1 || !pTrial || nStatus < 0) {
        char szText[128];
        std::snprintf(szText, sizeof szText, "setMegData Data error: sample%lld channel:%d!",
                      static_cast<long long>(nSamples), nChannels);
        AfxMessageBox(szText, MB_OK);
    }
    m_pTrial = pTrial;
    m_pMEGData = pData;
    if (!m_pTrial) {
        return 0;
    }
    const int nSlots = m_pTrial->getTotalChannel();
    std::int64_t nSample = 0, nSampleEnd = 0;
    m_pMEGData->getSelect(nSample, nSampleEnd);
    CMDChannelqv** ppChannels = m_pTrial->getAllChannelPt();
    if (m_bAutofitColor) {
        _takeRawExtremes(*this, nSlots, ppChannels, SMapValueSource::sample(nSample));
    }
    return 1;
}

int CShow3DCntMapqv::setMegDataFrqc(CMEGDataqv* pData) {
    return _loadSpectral(*this, pData, SMapKinds::kindFrequency);
}

int CShow3DCntMapqv::setMegDataSpctm(CMEGDataqv* pData) {
    return _loadSpectral(*this, pData, SMapKinds::kindSpectral);
}
