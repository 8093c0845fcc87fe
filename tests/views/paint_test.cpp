// What a map view paints, and what it does when the recording, the window system or the host
// fail it.

#include "viewtestsupport.h"

#include "mdtrial.h"

namespace {

using Places = std::vector<std::pair<int, int>>;

// Before the first paint a drag or a pick moves nothing; the overlay shows the rotation and the
// distance rounded, one line height apart.
TEST_F(MapViewTest, FirstPaintCreatesAndFitsTheViewportLaterPaintsDrawTheCameraOverlay) {
    m_pData = makeTestRecording({at(0, 0, 0, 1.0), at(40, 0, 0, 2.0)});
    m_face.show3DContMapTimeDomain(m_pData.get(), recordHostCall, nullptr);
    CStaticContMap& view = m_face.m_pDlgTimeDomain->m_staticContMap;
    ASSERT_EQ(view.m_pGL4d, nullptr);
    EXPECT_EQ(view.mouseDragTo(CPoint(50, 50)), 1);
    EXPECT_EQ(view.m_ptLast, CPoint(0, 0));
    EXPECT_EQ(view.pickSensorAt(10, 10), 0);
    pump();
    ASSERT_NE(view.m_pGL4d, nullptr);
    CRect rc;
    view.GetClientRect(&rc);
    EXPECT_EQ(windowCalls().nContextsMade, 1);
    EXPECT_EQ(windowCalls().reshapes, (Places{{rc.Width(), rc.Height()}}));

    CGL4dqv* pFirst = view.m_pGL4d;
    repaint(view);
    EXPECT_EQ(view.m_pGL4d, pFirst);
    EXPECT_EQ(windowCalls().nContextsMade, 0);
    EXPECT_TRUE(windowCalls().reshapes.empty());

    view.m_pGL4d->setRotateValue(12.6, -0.4, 359.6);
    view.m_pGL4d->setTranslate(0.0, 0.0, -250.0);
    repaint(view);
    EXPECT_EQ(overlayLines(),
              (std::vector<std::wstring>{L"Rotation: 13 -0 360 ", L"Distance: 250"}));
    EXPECT_EQ(overlayPlaces(), (Places{{0, 0}, {0, 14}})); // the height of "A" in 9-point Arial
}

TEST_F(MapViewTest, SelectedSensorLineNamesTheCurrentMarkedSensorAndItsFirstCoil) {
    const struct {
        const char* pszName;
        bool STestChannel::*pCleared; // a flag the current channel lacks
        int bMark;
        int nCurrent;
    } cases[] = {{"marked", nullptr, 1, 1},
                 {"mark off", nullptr, 0, 1},
                 {"not a measuring channel", &STestChannel::bMeg, 1, 1},
                 {"not shown for all trials", &STestChannel::bShown, 1, 1},
                 {"no samples", &STestChannel::bWave, 1, 1},
                 {"no current channel", nullptr, 1, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        STestChannel current = at(0.01234, -0.5, 2.0, 3.0);
        if (c.pCleared != nullptr)
            current = without(c.pCleared, current);
        CStaticContMap& view = openTimeDomain({at(40, 0, 0, 1.0), current});
        m_pData->getTrialqv(-1)->setCurrentChannel(c.nCurrent);
        m_face.m_pDlgTimeDomain->m_bMarkSelection = c.bMark;
        repaint(view);
        if (c.pCleared == nullptr && c.bMark && c.nCurrent == 1) {
            ASSERT_EQ(overlayLines().size(), 3u);
            EXPECT_EQ(overlayLines()[2], L"MEG1:(0.0123;-0.5000;2.0000)");
            EXPECT_EQ(overlayPlaces()[2], std::make_pair(0, 28));
        } else {
            EXPECT_EQ(overlayLines().size(), 2u);
        }
    }
    // The frequency overlay never has it, even with the mark on (the spectral view paints the
    // same way).
    m_pData->getTrialqv(-1)->setCurrentChannel(1);
    m_face.m_pDlgTimeDomain->m_bMarkSelection = 1;
    m_face.show3DContMapFrqc(m_pData.get(), nullptr);
    pump();
    repaint(m_face.m_pDlgFrqc->m_staticContMap);
    EXPECT_EQ(overlayLines().size(), 2u);
}

TEST_F(MapViewTest, WithoutARecordingTheFrameAndCameraLinesStillPaint) {
    m_face.show3DContMapTimeDomain(nullptr, recordHostCall, nullptr);
    pump();
    CStaticContMap& view = m_face.m_pDlgTimeDomain->m_staticContMap;
    EXPECT_EQ(view.setViewMegData(nullptr), 0);
    m_face.m_pDlgTimeDomain->m_bMarkSelection = 1;
    repaint(view);
    EXPECT_NE(view.m_pGL4d, nullptr);
    EXPECT_EQ(overlayLines(), (std::vector<std::wstring>{L"Rotation: 0 0 0 ", L"Distance: 750"}));
    EXPECT_TRUE(recordedMessages().empty());
}

TEST_F(MapViewTest, ATrialWithoutSamplesIsReportedByTheTimeDomainAndSpectralViewsOnly) {
    STestChannel flat = without(&STestChannel::bWave, at(0, 0, 0, 1.0));
    m_pData = makeTestRecording({flat, flat});
    m_pData->getTrialqv(-1)->setSampleCount(0);
    m_face.show3DContMapTimeDomain(m_pData.get(), recordHostCall, nullptr);
    m_face.show3DContMapFrqc(m_pData.get(), nullptr);
    m_face.show3DContMapSpctm(m_pData.get(), nullptr);
    const std::vector<std::string> expected(2, "Data error: sample0 channel:2!");
    EXPECT_EQ(recordedMessages(), expected);
    // The trial is still held, so the maps still draw what they can.
    EXPECT_NE(m_face.m_pDlgTimeDomain->m_staticContMap.m_pTrial, nullptr);
    EXPECT_NE(m_face.m_pDlgFrqc->m_staticContMap.m_pTrial, nullptr);
}

TEST_F(MapViewTest, AContextThatCannotBeMadeIsNotTriedAgainAndThatPaintDrawsNothing) {
    windowCalls().bFailContexts = true;
    m_pData = makeTestRecording({at(0, 0, 0, 1.0)});
    m_face.show3DContMapTimeDomain(m_pData.get(), recordHostCall, nullptr);
    CStaticContMap& view = m_face.m_pDlgTimeDomain->m_staticContMap;
    pump();
    EXPECT_EQ(windowCalls().nContextAttempts, 1);
    EXPECT_TRUE(windowCalls().texts.empty());
    EXPECT_TRUE(windowCalls().reshapes.empty());
    // The viewport object of the failed attempt stays, so later paints go on without it.
    EXPECT_NE(view.m_pGL4d, nullptr);
    windowCalls().bFailContexts = false;
    repaint(view);
    EXPECT_EQ(windowCalls().nContextAttempts, 0);
    EXPECT_EQ(windowCalls().nContextsMade, 0);
    // A drag or a pick without a context changes nothing and does not crash.
    view.mouseDragTo(CPoint(30, 30));
    EXPECT_EQ(view.pickSensorAt(10, 10), 0); // no selection buffer without a context
    EXPECT_TRUE(hostCalls().empty());
}

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

TEST_F(MapViewTest, AFailedTrialQueryIsReportedByTheViewThenTheRenderer) {
    const std::vector<std::string> messages{"Data error: sample3 channel:2!",
                                            "setMegData Data error: sample3 channel:2!"};
    CFailingRecording data;
    fillTestRecording(data, {at(0, 0, 0, 0.0), at(40, 0, 0, 10.0)});
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
    fillTestRecording(data, {without(&STestChannel::bSpectral, at(0, 0, 0, 0.0)),
                             without(&STestChannel::bSpectral, at(40, 0, 0, 10.0)),
                             without(&STestChannel::bSpectral, at(80, 0, 0, 20.0))});
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
