#include "viewtestsupport.h"

#include "mdtrial.h"

namespace {

std::vector<std::wstring> lines() {
    std::vector<std::wstring> v;
    for (const auto& t : windowCalls().texts)
        v.push_back(t.str);
    return v;
}

TEST_F(MapViewTest, FirstPaintCreatesAndFitsTheViewportLaterPaintsOnlyDraw) {
    m_pData = makeTestRecording({at(0, 0, 0, 1.0), at(40, 0, 0, 2.0)});
    m_face.show3DContMapTimeDomain(m_pData.get(), recordHostCall, nullptr);
    CStaticContMap& view = m_face.m_pDlgTimeDomain->m_staticContMap;
    EXPECT_EQ(view.m_pGL4d, nullptr);
    pump();
    ASSERT_NE(view.m_pGL4d, nullptr);
    CRect rc;
    view.GetClientRect(&rc);
    EXPECT_EQ(windowCalls().nContextsMade, 1);
    ASSERT_EQ(windowCalls().reshapes.size(), 1u);
    EXPECT_EQ(windowCalls().reshapes[0], std::make_pair(rc.Width(), rc.Height()));

    CGL4dqv* pFirst = view.m_pGL4d;
    repaint(view);
    EXPECT_EQ(view.m_pGL4d, pFirst);
    EXPECT_EQ(windowCalls().nContextsMade, 0);
    EXPECT_TRUE(windowCalls().reshapes.empty());
    EXPECT_EQ(lines().size(), 2u); // the frame was painted again, with its overlay
}

TEST_F(MapViewTest, OverlayShowsRotationAndDistanceRoundedOneLineHeightApart) {
    CStaticContMap& view = openTimeDomain({at(0, 0, 0, 1.0)});
    view.m_pGL4d->setRotateValue(12.6, -0.4, 359.6);
    view.m_pGL4d->setTranslate(0.0, 0.0, -250.0);
    repaint(view);
    ASSERT_EQ(windowCalls().texts.size(), 2u);
    const auto& rotation = windowCalls().texts[0];
    const auto& distance = windowCalls().texts[1];
    EXPECT_EQ(rotation.str, L"Rotation: 13 -0 360 ");
    EXPECT_EQ(distance.str, L"Distance: 250");
    EXPECT_EQ(rotation.x, 0);
    EXPECT_EQ(rotation.y, 0);
    EXPECT_EQ(distance.x, 0);
    EXPECT_EQ(distance.y, 14); // the height of "A" in 9-point Arial
}

class SelectedSensorLine : public MapViewTest {
protected:
    CStaticContMap& open(STestChannel channel, int bMark) {
        channel.x = 0.01234;
        channel.y = -0.5;
        channel.z = 2.0;
        CStaticContMap& view = openTimeDomain({at(40, 0, 0, 1.0), channel});
        m_pData->getTrialqv(-1)->setCurrentChannel(1);
        m_face.m_pDlgTimeDomain->m_bMarkSelection = bMark;
        repaint(view);
        return view;
    }
};

TEST_F(SelectedSensorLine, NamesTheCurrentChannelAndItsFirstCoilWhileMarked) {
    open(at(0, 0, 0, 3.0), 1);
    ASSERT_EQ(windowCalls().texts.size(), 3u);
    EXPECT_EQ(windowCalls().texts[2].str, L"MEG1:(0.0123;-0.5000;2.0000)");
    EXPECT_EQ(windowCalls().texts[2].y, 28);
}

TEST_F(SelectedSensorLine, AbsentWhenUnmarkedOrTheChannelIsNotAShownSensor) {
    open(at(0, 0, 0, 3.0), 0);
    EXPECT_EQ(windowCalls().texts.size(), 2u) << "mark off";

    STestChannel eeg = at(0, 0, 0, 3.0);
    eeg.bMeg = false;
    open(eeg, 1);
    EXPECT_EQ(windowCalls().texts.size(), 2u) << "not a measuring channel";

    STestChannel hidden = at(0, 0, 0, 3.0);
    hidden.bShown = false;
    open(hidden, 1);
    EXPECT_EQ(windowCalls().texts.size(), 2u) << "not shown for all trials";

    STestChannel flat = at(0, 0, 0, 3.0);
    flat.bWave = false;
    open(flat, 1);
    EXPECT_EQ(windowCalls().texts.size(), 2u) << "no samples";

    open(at(0, 0, 0, 3.0), 1);
    m_pData->getTrialqv(-1)->setCurrentChannel(-1);
    repaint(m_face.m_pDlgTimeDomain->m_staticContMap);
    EXPECT_EQ(windowCalls().texts.size(), 2u) << "no current channel";
}

TEST_F(MapViewTest, FrequencyAndSpectralOverlaysHaveTwoLinesEvenWithTheMarkOn) {
    CStaticContMap& time = openTimeDomain({at(0, 0, 0, 1.0)});
    m_pData->getTrialqv(-1)->setCurrentChannel(0);
    m_face.m_pDlgTimeDomain->m_bMarkSelection = 1;
    repaint(time);
    EXPECT_EQ(windowCalls().texts.size(), 3u);

    m_face.show3DContMapFrqc(m_pData.get(), nullptr);
    pump();
    repaint(m_face.m_pDlgFrqc->m_staticContMap);
    EXPECT_EQ(windowCalls().texts.size(), 2u);
    m_face.show3DContMapSpctm(m_pData.get(), nullptr);
    pump();
    repaint(m_face.m_pDlgSpctm->m_staticContMap);
    EXPECT_EQ(windowCalls().texts.size(), 2u);
}

TEST_F(MapViewTest, WithoutARecordingTheFrameAndCameraLinesStillPaint) {
    m_face.show3DContMapTimeDomain(nullptr, recordHostCall, nullptr);
    pump();
    CStaticContMap& view = m_face.m_pDlgTimeDomain->m_staticContMap;
    EXPECT_EQ(view.setViewMegData(nullptr), 0);
    m_face.m_pDlgTimeDomain->m_bMarkSelection = 1;
    repaint(view);
    EXPECT_NE(view.m_pGL4d, nullptr);
    EXPECT_EQ(lines(), (std::vector<std::wstring>{L"Rotation: 0 0 0 ", L"Distance: 750"}));
    EXPECT_TRUE(recordedMessages().empty());
}

TEST_F(MapViewTest, ATrialWithoutSamplesIsReportedByTheTimeDomainAndSpectralViewsOnly) {
    STestChannel flat = at(0, 0, 0, 1.0);
    flat.bWave = false;
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

} // namespace
