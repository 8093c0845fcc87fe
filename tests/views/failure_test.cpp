// What the maps do when the recording, the window system or the host fail them.

#include "viewtestsupport.h"

#include "mdchannel.h"
#include "mdtrial.h"
#include "spctmchnl.h"
#include "spctmtrial.h"

namespace {

// A recording whose current-trial query reports failure, with or without a trial.
class CFailingRecording : public CMEGDataqv {
public:
    bool m_bWithTrial = true;
    int getCurntTrialCSD(int* pChannels, std::int64_t* pSamples, CMDTrialqv** ppTrial) override {
        CMEGDataqv::getCurntTrialCSD(pChannels, pSamples, ppTrial);
        if (!m_bWithTrial && ppTrial != nullptr)
            *ppTrial = nullptr;
        return -1;
    }
};

void fill(CMEGDataqv& data, int nChannels, int nSamples, bool bSpectra) {
    CMDTrialqv* pTrial = data.addTrial();
    pTrial->setTotalChannel(nChannels);
    pTrial->setSampleCount(nSamples);
    for (int i = 0; i < nChannels; ++i) {
        CMDChannelqv* pChannel = pTrial->createChannel(i);
        pChannel->m_strChnlName = L"MEG" + std::to_wstring(i);
        pChannel->addCoil(40.0 * i, 0.0, 0.0);
        pChannel->setDataWave(std::vector<double>(static_cast<size_t>(nSamples), 10.0 * i));
        if (bSpectra)
            pChannel->getSpctmChnl(true, 0)->setSpctmData(0, 2, 2, {1.0, 2.0, 3.0, 4.0});
    }
    if (bSpectra) {
        CSpctmTrialqv* pSpctm = pTrial->getSpctmTrial(true, 0);
        pSpctm->m_nSelectRow = 1;
        pSpctm->m_nSelectColumn = 1;
    }
}

TEST_F(MapViewTest, AFailedTrialQueryIsReportedByTheViewThenTheRenderer) {
    const std::vector<std::string> messages{"Data error: sample3 channel:2!",
                                            "setMegData Data error: sample3 channel:2!"};
    CFailingRecording data;
    fill(data, 2, 3, true);
    m_face.show3DContMapTimeDomain(&data, recordHostCall, nullptr);
    EXPECT_EQ(recordedMessages(), messages);
    // The trial it did give is kept, so the map is still drawn from it.
    EXPECT_NE(m_face.m_pDlgTimeDomain->m_staticContMap.m_pTrial, nullptr);

    recordedMessages().clear();
    data.m_bWithTrial = false;
    m_face.show3DContMapSpctm(&data, nullptr);
    m_face.show3DContMapFrqc(&data, nullptr); // asks for its trial another way, silently
    EXPECT_EQ(recordedMessages(), messages);
    pump();
    CStaticContMapSpctm& view = m_face.m_pDlgSpctm->m_staticContMap;
    EXPECT_EQ(view.m_pTrial, nullptr);
    repaint(view);
    EXPECT_EQ(windowCalls().texts.size(), 2u) << "the frame and the camera lines only";
    EXPECT_EQ(m_face.updateContourMapSpctm(nullptr), 1);
}

TEST_F(MapViewTest, WithoutSpectralResultsTheSpectralMapsDrawNothingAndSayNothing) {
    CMEGDataqv data;
    fill(data, 3, 4, false);
    data.setSelect(2);
    m_face.show3DContMapTimeDomain(&data, recordHostCall, nullptr);
    m_face.show3DContMapFrqc(&data, nullptr);
    m_face.show3DContMapSpctm(&data, nullptr);
    pump();
    EXPECT_TRUE(recordedMessages().empty());
    EXPECT_EQ(m_face.m_pDlgFrqc->m_staticContMap.m_Show3DCntMap._checkSensorPosVlmFrqc(), 0);
    EXPECT_EQ(m_face.m_pDlgSpctm->m_staticContMap.m_Show3DCntMap._checkSensorPosVlmSpctm(), 0);
    repaint(m_face.m_pDlgFrqc->m_staticContMap);
    EXPECT_EQ(windowCalls().texts.size(), 2u);
    EXPECT_EQ(m_face.updateContourMapFrqc(), 1);
    // The time-domain map of the same recording is unaffected.
    EXPECT_DOUBLE_EQ(m_face.m_pDlgTimeDomain->m_staticContMap.m_Show3DCntMap.m_dColorMax, 10.0);
}

TEST_F(MapViewTest, AFailingDeviceContextReleaseIsReportedAndTheMapStillFollows) {
    windowCalls().bFailReleaseDC = true;
    CStaticContMap& view = openTimeDomain({at(0, 0, 0, 1.0), at(40, 0, 0, 2.0)});
    EXPECT_EQ(recordedMessages(), std::vector<std::string>{"Release hDC error!"});
    EXPECT_EQ(windowCalls().reshapes.size(), 1u);
    EXPECT_EQ(windowCalls().texts.size(), 4u) << "both paints went on";

    // The dialog's own reshape on resizing reports it too, and still repaints.
    recordedMessages().clear();
    windowCalls().texts.clear();
    widgetOf(*m_face.m_pDlgTimeDomain)->window()->resize(700, 560);
    pump();
    EXPECT_FALSE(recordedMessages().empty());
    for (const std::string& str : recordedMessages())
        EXPECT_EQ(str, "Release hDC error!");
    EXPECT_FALSE(windowCalls().texts.empty());
    windowCalls().bFailReleaseDC = false;
    EXPECT_NE(view.m_pGL4d, nullptr);
}

} // namespace
