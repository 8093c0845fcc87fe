#include "megdata.h"

#include "mdchannel.h"
#include "mdtrial.h"

#include <cmath>

CMEGData::CMEGData()
    : m_nCurntTrial(-1), m_nSelectSample(0), m_dSamplingRate(0.0), m_dFirstSampleTime(0.0),
      m_strUnit("fT") {}

CMEGData::~CMEGData() = default;

int CMEGData::getCurntTrialCSD(int* pChannels, std::int64_t* pSamples, CMDTrialqv** ppTrial) {
    CMDTrialqv* pTrial = getTrialqv(-1);
    if (pChannels)
        *pChannels = pTrial ? pTrial->getTotalChannel() : 0;
    if (pSamples)
        *pSamples = pTrial ? pTrial->getSampleCount() : 0;
    if (ppTrial)
        *ppTrial = pTrial;
    return pTrial ? 1 : -1;
}

// Readers index every channel's samples with the selection unchecked. A channel filled with
// fewer samples after the selection was made would put it outside that channel, so the
// selection is checked again here and reads as sample 0, which every channel with samples has.
int CMEGData::getSelect(std::int64_t& nSample, std::int64_t& nSampleEnd) {
    CMDTrialqv* pTrial = getTrialqv(-1);
    const std::int64_t nSelect =
        m_nSelectSample == 0 || _isSampleInside(pTrial, m_nSelectSample) ? m_nSelectSample : 0;
    nSample = nSelect;
    nSampleEnd = nSelect;
    return pTrial ? 1 : 0;
}

CMDTrialqv* CMEGData::getTrialqv(int nTrial) {
    if (nTrial == -1)
        nTrial = m_nCurntTrial;
    if (nTrial < 0 || nTrial >= getTrialCount())
        return nullptr;
    return m_aTrials[nTrial].get();
}

CMDTrialqv* CMEGData::addTrial() {
    m_aTrials.push_back(std::make_unique<CMDTrialqv>());
    if (m_nCurntTrial < 0)
        m_nCurntTrial = getTrialCount() - 1;
    return m_aTrials.back().get();
}

int CMEGData::getTrialCount() const {
    return static_cast<int>(m_aTrials.size());
}

int CMEGData::setCurrentTrial(int nTrial) {
    if (nTrial < -1 || nTrial >= getTrialCount())
        return 0;
    m_nCurntTrial = nTrial;
    if (!_isSampleInside(getTrialqv(-1), m_nSelectSample))
        m_nSelectSample = 0;
    return 1;
}

int CMEGData::setSelect(std::int64_t nSample) {
    if (!_isSampleInside(getTrialqv(-1), nSample))
        return 0;
    m_nSelectSample = nSample;
    return 1;
}

int CMEGData::setSamplingRate(double dHz) {
    if (!std::isfinite(dHz) || dHz < 0.0)
        return 0;
    m_dSamplingRate = dHz;
    return 1;
}

int CMEGData::setFirstSampleTime(double dSeconds) {
    if (!std::isfinite(dSeconds))
        return 0;
    m_dFirstSampleTime = dSeconds;
    return 1;
}

int CMEGData::setSpctmAxes(const std::vector<double>& aFreqsHz,
                           const std::vector<double>& aRowTimesSec) {
    for (double dHz : aFreqsHz)
        if (!std::isfinite(dHz))
            return 0;
    for (double dSeconds : aRowTimesSec)
        if (std::isinf(dSeconds))
            return 0;
    m_aSpctmFreqsHz = aFreqsHz;
    m_aSpctmRowTimesSec = aRowTimesSec;
    return 1;
}

int CMEGData::setUnit(const std::string& strUnit) {
    if (strUnit.empty() || strUnit.size() > nMaxUnitLength)
        return 0;
    m_strUnit = strUnit;
    return 1;
}

bool CMEGData::_isSampleInside(CMDTrialqv* pTrial, std::int64_t nSample) {
    if (!pTrial || nSample < 0 || nSample >= pTrial->getSampleCount())
        return false;
    CMDChannelqv** ppChannels = pTrial->getAllChannelPt();
    const int nSlots = pTrial->getTotalChannel();
    for (int i = 0; i < nSlots; ++i) {
        CMDChannelqv* pChannel = ppChannels[i];
        if (pChannel && pChannel->getDataWave() && nSample >= pChannel->getSampleCount())
            return false;
    }
    return true;
}

CMEGData1Localization01Meg::CMEGData1Localization01Meg() = default;

CMEGData1Localization01Meg::~CMEGData1Localization01Meg() = default;

CFiducialqv* CMEGData1Localization01Meg::getFidWorkMeg() {
    return m_pFidWork.get();
}

CFiducialqv* CMEGData1Localization01Meg::createFidWorkMeg() {
    if (!m_pFidWork)
        m_pFidWork = std::make_unique<CFiducialqv>();
    return m_pFidWork.get();
}

CMEGData2Process::CMEGData2Process() = default;

CMEGData2Process::~CMEGData2Process() = default;

namespace {

int flagOfSlot(CMEGData& data, const std::vector<int>& aFlags, int nChannel) {
    CMDTrialqv* pTrial = data.getTrialqv(-1);
    if (!pTrial || nChannel < 0 || nChannel >= pTrial->getTotalChannel())
        return 0;
    return static_cast<std::size_t>(nChannel) < aFlags.size() ? aFlags[nChannel] : 1;
}

int setFlagOfSlot(std::vector<int>& aFlags, int nChannel, int bFlag) {
    if (nChannel < 0 || nChannel >= CMDTrial::nMaxSlots)
        return 0;
    if (static_cast<std::size_t>(nChannel) >= aFlags.size())
        aFlags.resize(nChannel + 1, 1);
    aFlags[nChannel] = bFlag ? 1 : 0;
    return 1;
}

} // namespace

int CMEGData2Process::isGoodChnl4Alltrials(int nChannel) {
    return flagOfSlot(*this, m_aGoodChnl, nChannel);
}

int CMEGData2Process::isShowChnl4Alltrials(int nChannel) {
    return flagOfSlot(*this, m_aShowChnl, nChannel);
}

int CMEGData2Process::setGoodChnl4Alltrials(int nChannel, int bGood) {
    return setFlagOfSlot(m_aGoodChnl, nChannel, bGood);
}

int CMEGData2Process::setShowChnl4Alltrials(int nChannel, int bShow) {
    return setFlagOfSlot(m_aShowChnl, nChannel, bShow);
}
