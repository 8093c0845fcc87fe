#include "rendertestsupport.h"

#include "afxmsgbox.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "spctmchnl.h"
#include "spctmtrial.h"

#include <algorithm>
#include <numeric>

namespace {

std::vector<std::string> g_messages;
PFNMESSAGEBOXHANDLER g_pfnPrevious = nullptr;

int _recordMessage(const char* pszText, unsigned int) {
    g_messages.emplace_back(pszText);
    return IDOK;
}

} // namespace

STestChannel at(double x, double y, double z, double dValue) {
    return {x, y, z, dValue};
}

STestChannel without(bool STestChannel::*pFlag, STestChannel channel) {
    channel.*pFlag = false;
    return channel;
}

STestChannel emptySlot() {
    return {0.0, 0.0, 0.0, 0.0, true};
}

std::unique_ptr<CMEGDataqv> makeTestRecording(const std::vector<STestChannel>& channels) {
    auto pData = std::make_unique<CMEGDataqv>();
    fillTestRecording(*pData, channels);
    return pData;
}

void fillTestRecording(CMEGDataqv& data, const std::vector<STestChannel>& channels) {
    CMDTrialqv* pTrial = data.addTrial();
    data.setCurrentTrial(0);
    pTrial->setSampleCount(3);
    pTrial->setTotalChannel(static_cast<int>(channels.size()));
    if (std::any_of(channels.begin(), channels.end(), [](auto& c) { return c.bSpectral; })) {
        CSpctmTrialqv* pSpctm = pTrial->getSpctmTrial(true, 0);
        pSpctm->m_nSelectFreqBin = nTestSelectedBin;
        pSpctm->m_nSelectRow = nTestSelectedRow;
        pSpctm->m_nSelectColumn = nTestSelectedColumn;
    }
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const STestChannel& c = channels[i];
        const int nSlot = static_cast<int>(i);
        data.setGoodChnl4Alltrials(nSlot, c.bGood ? 1 : 0);
        data.setShowChnl4Alltrials(nSlot, c.bShown ? 1 : 0);
        if (c.bEmpty) {
            continue;
        }
        CMDChannelqv* pChannel = pTrial->createChannel(nSlot);
        pChannel->m_strChnlName = L"MEG" + std::to_wstring(i);
        pChannel->setChnlKind(c.bMeg ? CMDChannel0SensorInfo::kindMEG
                                     : CMDChannel0SensorInfo::kindEEG);
        if (c.bCoil) {
            pChannel->addCoil(c.x, c.y, c.z);
        }
        if (c.bWave) {
            pChannel->setDataWave({-999.0, c.dValue, -999.0});
        }
        if (c.bSpectral) {
            std::vector<double> values(12);
            std::iota(values.begin(), values.end(), c.dValue);
            pChannel->getSpctmChnl(true, 0)->setSpctmData(0, 3, 4, values);
        }
    }
    data.setSelect(1);
}

CMessageRecorder::CMessageRecorder() {
    g_messages.clear();
    g_pfnPrevious = AfxSetMessageBoxHandler(_recordMessage);
}

CMessageRecorder::~CMessageRecorder() {
    AfxSetMessageBoxHandler(g_pfnPrevious);
}

const std::vector<std::string>& CMessageRecorder::texts() const {
    return g_messages;
}
