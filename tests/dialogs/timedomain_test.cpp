#include "dialogtestsupport.h"

#include "mdtrial.h"

#include <functional>

namespace {

// Sensor 0 sits at the bounding-box centre, so it lies under the view's centre; the other two
// give extremes whose halves need six significant digits.
class TimeDomainDialog : public MapViewTest {
protected:
    void SetUp() override {
        MapViewTest::SetUp();
        openTimeDomain({at(0, 0, 0, 0.5), at(-40, 0, 0, 2.4691356), at(40, 0, 0, -0.000246913578)});
        windowCalls().clear();
    }
    CDlgContMap3DTimedomain& dlg() { return *m_face.m_pDlgTimeDomain; }
    CStaticContMap& view() { return dlg().m_staticContMap; }
    CShow3DCntMapqv& map() { return view().m_Show3DCntMap; }
    CPoint centre() { return inDialog(view(), clientCentre(view())); }
};

const float kFittedMax = static_cast<float>(2.4691356) * 0.5f;
const float kFittedMin = static_cast<float>(-0.000246913578) * 0.5f;

// The first show ticks the six switches and shows the range in six digits; each click applies and
// repaints.
TEST_F(TimeDomainDialog, FirstShowTicksTheSwitchesEachClickAndUpdateApplyAndRepaint) {
    EXPECT_FALSE(box(dlg(), IDC_MARK_SELECTION)->isChecked());
    EXPECT_EQ(edit(dlg(), IDC_EDIT_MAX)->text(), "1.23457");
    EXPECT_EQ(edit(dlg(), IDC_EDIT_MIN)->text(), "-0.000123457");
    const struct {
        int nId;
        int CShow3DCntMap::*pField;
    } cases[] = {{IDC_AUTOFIT_COLOR, &CShow3DCntMap::m_bAutofitColor},
                 {IDC_AUTOFIT_PLACE, &CShow3DCntMap::m_bAutofitPlace},
                 {IDC_SENSORS, &CShow3DCntMap::m_bSensors},
                 {IDC_SENSOR_ACT, &CShow3DCntMap::m_bSensorAct},
                 {IDC_CONTOURMAP, &CShow3DCntMap::m_bContourMap},
                 {IDC_CONTOUR_ACT, &CShow3DCntMap::m_bContourAct}};
    for (const auto& c : cases) {
        EXPECT_TRUE(box(dlg(), c.nId)->isChecked()) << c.nId;
        for (int nExpected : {0, 1}) {
            windowCalls().clear();
            click(dlg(), c.nId);
            EXPECT_EQ(map().*c.pField, nExpected) << c.nId;
            pump();
            EXPECT_GE(paints(), 1) << c.nId;
        }
    }
    m_pData->setSelect(0); // every wave holds -999 there
    click(dlg(), IDC_UPDATE);
    EXPECT_DOUBLE_EQ(map().m_dColorMax, -499.5) << "Update reruns the range check";
}

TEST_F(TimeDomainDialog, TypingUnderAutofitRepaintsEachKeyUntilAutofitGoesOff) {
    setTextSilently(dlg(), IDC_EDIT_MAX, "");
    windowCalls().clear();
    for (const char* pszKey : {"9", "9"}) {
        QTest::keyClicks(edit(dlg(), IDC_EDIT_MAX), pszKey);
        pump();
    }
    EXPECT_EQ(paints(), 2);
    EXPECT_DOUBLE_EQ(map().m_dColorMax, kFittedMax);
    retype(dlg(), IDC_EDIT_MIN, "2");
    EXPECT_DOUBLE_EQ(map().m_dColorMin, kFittedMin);

    click(dlg(), IDC_AUTOFIT_COLOR);
    EXPECT_DOUBLE_EQ(map().m_dColorMax, 99.0);
    EXPECT_DOUBLE_EQ(map().m_dColorMin, 2.0);
    // Min above Max is taken as it is.
    retype(dlg(), IDC_EDIT_MIN, "500");
    EXPECT_DOUBLE_EQ(map().m_dColorMin, 500.0);
    EXPECT_TRUE(recordedMessages().empty());
}

TEST_F(TimeDomainDialog, ALoneMinusInMinPromptsLeavesTheMembersAfterMinAndKeepsOkFromClosing) {
    // Exchange order: view, Autofit Color, Autofit Place, Max, Min, Contour Act, Sensor Act,
    // Contourmap, Sensors, Mark Selection.
    tickSilently(dlg(), IDC_AUTOFIT_COLOR, false);
    tickSilently(dlg(), IDC_AUTOFIT_PLACE, false);
    setTextSilently(dlg(), IDC_EDIT_MAX, "8");
    tickSilently(dlg(), IDC_CONTOUR_ACT, false);
    tickSilently(dlg(), IDC_SENSORS, false);
    retype(dlg(), IDC_EDIT_MIN, "-");
    EXPECT_EQ(recordedMessages(), std::vector<std::string>{kNumberPrompt});
    EXPECT_EQ(map().m_bAutofitColor, 0);
    EXPECT_EQ(map().m_bAutofitPlace, 0);
    EXPECT_DOUBLE_EQ(map().m_dColorMax, 8.0);
    EXPECT_DOUBLE_EQ(map().m_dColorMin, kFittedMin);
    EXPECT_EQ(map().m_bContourAct, 1);
    EXPECT_EQ(map().m_bSensors, 1);

    // The prompt left "-" selected; carry on after it.
    QTest::keyClick(edit(dlg(), IDC_EDIT_MIN), Qt::Key_End);
    QTest::keyClicks(edit(dlg(), IDC_EDIT_MIN), "3");
    EXPECT_DOUBLE_EQ(map().m_dColorMin, -3.0);
    EXPECT_EQ(map().m_bContourAct, 0);
    EXPECT_EQ(map().m_bSensors, 0);
    EXPECT_EQ(recordedMessages().size(), 1u);

    // OK with a lone minus prompts and stays open, yet releases the viewport.
    retype(dlg(), IDC_EDIT_MIN, "-");
    recordedMessages().clear();
    click(dlg(), IDOK);
    EXPECT_EQ(recordedMessages(), std::vector<std::string>{kNumberPrompt});
    EXPECT_TRUE(dlg().IsWindowVisible());
    EXPECT_EQ(view().m_pGL4d, nullptr);
    EXPECT_EQ(windowCalls().nContextsKilled, 1);
}

TEST_F(TimeDomainDialog, MarkSelectionSavesTheControlsButAppliesNothingUntilUpdate) {
    tickSilently(dlg(), IDC_AUTOFIT_COLOR, false);
    tickSilently(dlg(), IDC_CONTOURMAP, false);
    setTextSilently(dlg(), IDC_EDIT_MAX, "42");
    m_pData->setSelect(0);
    map().m_pMarkSelection = nullptr;
    click(dlg(), IDC_MARK_SELECTION);
    EXPECT_EQ(dlg().m_bMarkSelection, 1);
    EXPECT_EQ(dlg().m_bContourMap, 0);
    EXPECT_FLOAT_EQ(dlg().m_fMax, 42.0f);
    EXPECT_EQ(map().m_pMarkSelection, &dlg().m_bMarkSelection);
    EXPECT_EQ(map().m_bContourMap, 1);
    EXPECT_EQ(map().m_bAutofitColor, 1);
    EXPECT_DOUBLE_EQ(map().m_dColorMax, kFittedMax) << "no copy and no range check";

    click(dlg(), IDC_UPDATE);
    EXPECT_EQ(map().m_bContourMap, 0);
    EXPECT_DOUBLE_EQ(map().m_dColorMax, 42.0);
}

// OK (button or Enter) gives up the viewport, so the map returns with the default camera; Esc and
// the close box only hide. The view mode survives either way.
TEST_F(TimeDomainDialog, OkReleasesTheViewportWhileEscAndTheCloseBoxKeepTheCamera) {
    const struct {
        const char* pszName;
        std::function<void(CWnd&)> hide;
        bool bReleases;
    } cases[] = {{"OK", [](CWnd& d) { click(d, IDOK); }, true},
                 {"Enter", [](CWnd& d) { QTest::keyClick(windowOf(d), Qt::Key_Return); }, true},
                 {"Esc", [](CWnd& d) { QTest::keyClick(windowOf(d), Qt::Key_Escape); }, false},
                 {"close box", [](CWnd& d) { widgetOf(d)->window()->close(); }, false}};
    choose(dlg(), "Zoom");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        CGL4dqv* pGL4d = view().m_pGL4d;
        ASSERT_NE(pGL4d, nullptr);
        pGL4d->setRotateValue(30.0, 40.0, 0.0);
        pGL4d->setTranslate(0.0, 0.0, -300.0);
        windowCalls().clear();
        c.hide(dlg());
        EXPECT_FALSE(dlg().IsWindowVisible());
        EXPECT_EQ(view().m_pGL4d, c.bReleases ? nullptr : pGL4d);
        EXPECT_EQ(windowCalls().nContextsKilled, c.bReleases ? 1 : 0);

        m_face.show3DContMapTimeDomain(m_pData.get(), recordHostCall, nullptr);
        pump();
        ASSERT_NE(view().m_pGL4d, nullptr);
        EXPECT_DOUBLE_EQ(rotationOf(*view().m_pGL4d).y, c.bReleases ? 0.0 : 40.0);
        EXPECT_DOUBLE_EQ(distanceOf(*view().m_pGL4d), c.bReleases ? 750.0 : 300.0);
        EXPECT_EQ(view().m_nViewMode, 2);
    }
}

TEST_F(TimeDomainDialog, ResizingKeepsTheViewTenPixelsInsideAndFitsTheViewport) {
    for (QSize size : {QSize(900, 720), QSize(480, 380)}) {
        windowCalls().clear();
        widgetOf(dlg())->window()->resize(size);
        pump();
        CRect rcDlg, rcView;
        dlg().GetClientRect(&rcDlg);
        view().GetClientRect(&rcView);
        WINDOWPLACEMENT wp = {};
        view().GetWindowPlacement(&wp);
        EXPECT_EQ(wp.rcNormalPosition.right, rcDlg.right - 10) << size.width();
        EXPECT_EQ(wp.rcNormalPosition.bottom, rcDlg.bottom - 10) << size.height();
        ASSERT_FALSE(windowCalls().reshapes.empty());
        EXPECT_EQ(windowCalls().reshapes.back(), std::make_pair(rcView.Width(), rcView.Height()));
    }
}

// Pick Sensor ticks Mark Selection, and leaving it keeps the mark.
TEST_F(TimeDomainDialog, PickSensorMarksAndAReleaseOutsideTheDialogPicksNothing) {
    choose(dlg(), "Pick Sensor");
    EXPECT_EQ(view().m_nViewMode, 3);
    EXPECT_TRUE(box(dlg(), IDC_MARK_SELECTION)->isChecked());
    EXPECT_EQ(dlg().m_bMarkSelection, 1);
    CRect rc;
    dlg().GetClientRect(&rc);
    const CPoint outside(rc.right + 40, rc.bottom / 2);
    press(dlg(), centre());
    EXPECT_EQ(CWnd::GetCapture(), &dlg());
    moveTo(dlg(), outside);
    release(dlg(), outside);
    EXPECT_TRUE(hostCalls().empty());
    EXPECT_EQ(m_pData->getTrialqv(-1)->getCurntChnlIndx(), -1);
    EXPECT_EQ(CWnd::GetCapture(), nullptr);

    choose(dlg(), "Rotate");
    EXPECT_TRUE(box(dlg(), IDC_MARK_SELECTION)->isChecked());
    EXPECT_EQ(dlg().m_bMarkSelection, 1);
    moveTo(dlg(), centre());
    moveTo(dlg(), CPoint(centre().x + 50, centre().y + 30));
    const CGxyz r = rotationOf(*view().m_pGL4d);
    EXPECT_EQ(r.x + r.y + r.z, 0.0) << "moves without a press turn nothing";
}

} // namespace
