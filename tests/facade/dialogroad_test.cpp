#include "../dialogs/dialogtestsupport.h"

#include "dlgcontmap3dmodeling.h"
#include "mdtrial.h"
#include "spctmtrial.h"

namespace {

class DialogRoad : public MapViewTest {
protected:
    CDlgContMap3DTimedomain& timeDomain() { return *m_face.m_pDlgTimeDomain; }
    CShow3DCntMapqv& timeMap() { return timeDomain().m_staticContMap.m_Show3DCntMap; }
    bool allUpdatesAreZero() {
        return m_face.updateContourMap() == 0 && m_face.updateContourMapSelectChannel() == 0 &&
               m_face.updateContourMapFrqc() == 0 && m_face.updateContourMapSpctm(nullptr) == 0;
    }
};

TEST_F(DialogRoad, UpdatesDoNothingBeforeAShowAndOnceTheDialogsAreHidden) {
    EXPECT_TRUE(allUpdatesAreZero());
    EXPECT_TRUE(m_face.m_pDlgFrqc == nullptr && m_face.m_pDlgModeling == nullptr);

    openTimeDomain({at(0, 0, 0, 1.0), at(20, 0, 0, 2.0)});
    m_face.show3DContMapFrqc(m_pData.get(), nullptr);
    m_face.show3DContMapSpctm(m_pData.get(), nullptr);
    pump();
    QTest::mouseClick(widgetOf(*timeDomain().GetDlgItem(IDOK)), Qt::LeftButton);
    QTest::keyClick(windowOf(*m_face.m_pDlgFrqc), Qt::Key_Escape);
    QTest::keyClick(windowOf(*m_face.m_pDlgSpctm), Qt::Key_Escape);
    windowCalls().clear();
    timeDomain().m_bMarkSelection = 1;
    EXPECT_TRUE(allUpdatesAreZero());
    pump();
    EXPECT_EQ(paints(), 0);
    EXPECT_EQ(windowCalls().nContextsMade, 0);
}

// A new selection refits the range and repaints, in each map; a new current channel only while the
// mark is on.
TEST_F(DialogRoad, UpdatesRefitAndRepaintTheSelectChannelOneOnlyWhileMarked) {
    openTimeDomain({at(0, 0, 0, 1.0), at(20, 0, 0, 2.0)});
    m_pData->getTrialqv(-1)->setCurrentChannel(1);
    m_pData->setSelect(0);
    windowCalls().clear();
    EXPECT_EQ(m_face.updateContourMapSelectChannel(), 1);
    EXPECT_DOUBLE_EQ(timeMap().m_dColorMax, 1.0);
    pump();
    EXPECT_EQ(paints(), 0);
    EXPECT_EQ(m_face.updateContourMap(), 1);
    EXPECT_DOUBLE_EQ(timeMap().m_dColorMax, -499.5);
    pump();
    EXPECT_EQ(paints(), 1);

    click(timeDomain(), IDC_MARK_SELECTION);
    timeMap().m_dColorMax = 1.0;
    pump();
    windowCalls().clear();
    EXPECT_EQ(m_face.updateContourMapSelectChannel(), 1);
    EXPECT_DOUBLE_EQ(timeMap().m_dColorMax, -499.5);
    pump();
    EXPECT_EQ(paints(), 1);

    // The frequency and spectral updates refit to the new bin and cell and repaint.
    m_face.show3DContMapFrqc(m_pData.get(), nullptr);
    m_face.show3DContMapSpctm(m_pData.get(), nullptr);
    pump();
    CSpctmTrialqv* pSpctm = m_pData->getTrialqv(-1)->getSpctmTrial(false, 0);
    pSpctm->m_nSelectFreqBin = 5;
    pSpctm->m_nSelectColumn = 4; // cell element 3 counting from 1
    windowCalls().clear();
    EXPECT_NE(m_face.updateContourMapFrqc(), 0);
    EXPECT_NE(m_face.updateContourMapSpctm(nullptr), 0);
    EXPECT_DOUBLE_EQ(m_face.m_pDlgFrqc->m_staticContMap.m_Show3DCntMap.m_dColorMax, 3.5);
    EXPECT_DOUBLE_EQ(m_face.m_pDlgSpctm->m_staticContMap.m_Show3DCntMap.m_dColorMax, 2.5);
    pump();
    EXPECT_EQ(paints(), 2);
}

TEST_F(DialogRoad, ASecondShowTakesTheNewRecordingAndOnlyTheNewCallbackPicks) {
    static std::vector<std::pair<int, int>> s_secondHostCalls;
    const PFNSELECTCHANNELqv pfnSecondHost = [](int nChannel, int nOther) {
        s_secondHostCalls.emplace_back(nChannel, nOther);
        return 0;
    };
    openTimeDomain({at(-30, 0, 0, 1.0), at(30, 0, 0, 2.0)});
    CDlgContMap3DTimedomain* pFirst = m_face.m_pDlgTimeDomain;
    auto pSecond = makeTestRecording({at(5, 5, 5, 3.0)});
    m_face.show3DContMapTimeDomain(pSecond.get(), pfnSecondHost, nullptr);
    pump();
    ASSERT_EQ(m_face.m_pDlgTimeDomain, pFirst);
    CStaticContMap& view = timeDomain().m_staticContMap;
    EXPECT_EQ(view.m_pMEGData, pSecond.get());

    choose(timeDomain(), "Pick Sensor");
    const CPoint centre = inDialog(view, clientCentre(view));
    press(timeDomain(), centre);
    release(timeDomain(), centre);
    EXPECT_TRUE(hostCalls().empty());
    EXPECT_EQ(s_secondHostCalls, (std::vector<std::pair<int, int>>{{0, -1}}));
    EXPECT_EQ(pSecond->getTrialqv(-1)->getCurntChnlIndx(), 0);

    m_face.show3DContMapTimeDomain(pSecond.get(), nullptr, nullptr);
    pump();
    pSecond->getTrialqv(-1)->setCurrentChannel(-1);
    press(timeDomain(), centre);
    release(timeDomain(), centre);
    EXPECT_EQ(pSecond->getTrialqv(-1)->getCurntChnlIndx(), -1);
    EXPECT_EQ(s_secondHostCalls.size(), 1u);
    EXPECT_TRUE(hostCalls().empty());
}

TEST_F(DialogRoad, ASecondShowReloadsTheControlsAndKeepsThePlacement) {
    openTimeDomain({at(0, 0, 0, 1.0), at(20, 0, 0, 2.0)});
    QWidget* frame = widgetOf(timeDomain())->window();
    frame->setGeometry(120, 90, 700, 560);
    pump();
    const QRect placed = frame->geometry();
    QTest::keyClick(windowOf(timeDomain()), Qt::Key_Escape);
    timeMap().m_bSensors = 0;
    timeMap().m_bAutofitColor = 0;
    timeMap().m_dColorMax = 3.5;
    m_face.show3DContMapTimeDomain(m_pData.get(), recordHostCall, nullptr);
    pump();
    EXPECT_FALSE(box(timeDomain(), IDC_SENSORS)->isChecked());
    EXPECT_FALSE(box(timeDomain(), IDC_AUTOFIT_COLOR)->isChecked());
    EXPECT_TRUE(box(timeDomain(), IDC_SENSOR_ACT)->isChecked());
    EXPECT_EQ(edit(timeDomain(), IDC_EDIT_MAX)->text(), "3.5");
    EXPECT_EQ(frame->geometry(), placed);
}

} // namespace
