#include "mdtrial.h"

#include "mdchannel.h"
#include "spctmchnl.h"
#include "spctmtrial.h"

CMDTrial::CMDTrial() : m_nCurntChnl(-1), m_nSampleCount(0) {}

CMDTrial::~CMDTrial() = default;

int CMDTrial::getTotalChannel() {
    return static_cast<int>(m_aChannels.size());
}

CMDChannelqv** CMDTrial::getAllChannelPt() {
    // Readers index the array without a null test; an empty trial still gives a valid address.
    return m_aChannelPt.empty() ? &m_pNoChannel : m_aChannelPt.data();
}

int CMDTrial::getCurntChnlIndx() {
    return m_nCurntChnl;
}

int CMDTrial::setCurrentChannel(int nChannel) {
    if (nChannel < -1 || nChannel >= getTotalChannel())
        return 0;
    m_nCurntChnl = nChannel;
    return 1;
}

int CMDTrial::setTotalChannel(int nSlots) {
    if (nSlots < 0 || nSlots > nMaxSlots)
        return 0;
    m_aChannels.resize(nSlots);
    m_aChannelPt.resize(nSlots);
    for (int i = 0; i < nSlots; ++i)
        m_aChannelPt[i] = m_aChannels[i].get();
    if (m_nCurntChnl >= nSlots)
        m_nCurntChnl = -1;
    return 1;
}

CMDChannelqv* CMDTrial::createChannel(int nSlot) {
    if (nSlot < 0 || nSlot >= getTotalChannel())
        return nullptr;
    m_aChannels[nSlot] = std::make_unique<CMDChannelqv>();
    m_aChannelPt[nSlot] = m_aChannels[nSlot].get();
    return m_aChannelPt[nSlot];
}

int CMDTrial::clearChannel(int nSlot) {
    if (nSlot < 0 || nSlot >= getTotalChannel())
        return 0;
    m_aChannels[nSlot].reset();
    m_aChannelPt[nSlot] = nullptr;
    return 1;
}

int CMDTrial::setSampleCount(std::int64_t nSamples) {
    if (nSamples < 0)
        return 0;
    m_nSampleCount = nSamples;
    return 1;
}

CMDTrial4Spctm::CMDTrial4Spctm() = default;

CMDTrial4Spctm::~CMDTrial4Spctm() = default;

CSpctmTrialqv* CMDTrial4Spctm::getSpctmTrial(bool bCreate, int nSpctmSelector) {
    if (nSpctmSelector < 0 || nSpctmSelector >= CSpctmChnl::nMaxSelectors)
        return nullptr;
    const auto nIndex = static_cast<std::size_t>(nSpctmSelector);
    if (nIndex >= m_aSpctmTrial.size()) {
        if (!bCreate)
            return nullptr;
        m_aSpctmTrial.resize(nIndex + 1);
    }
    if (!m_aSpctmTrial[nIndex] && bCreate)
        m_aSpctmTrial[nIndex] = std::make_unique<CSpctmTrialqv>();
    return m_aSpctmTrial[nIndex].get();
}
