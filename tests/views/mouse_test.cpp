#include "viewtestsupport.h"

#include "mdtrial.h"

#include <QAction>

namespace {

CGxyz rotationOf(CGL4dqv& gl4d) {
    CGxyz r;
    gl4d.getRotate(r.x, r.y, r.z);
    return r;
}

double distanceOf(CGL4dqv& gl4d) {
    double x = 0.0, y = 0.0, z = 0.0;
    gl4d.getTranslate(x, y, z);
    return -z;
}

class MapViewMouse : public MapViewTest {
protected:
    // Drags over the map: points in the view's client coordinates, events to the dialog.
    template <class TView> void dragOver(TView& view, CPoint from, CPoint to) {
        CWnd& dlg = *view.GetParent();
        drag(dlg, inDialog(view, from), inDialog(view, to));
    }
    template <class TView> void clickOver(TView& view, CPoint pt) {
        CWnd& dlg = *view.GetParent();
        press(dlg, inDialog(view, pt));
        release(dlg, inDialog(view, pt));
    }
    void choose(CWnd& dlg, const char* pszItem) {
        QAction* item = menuItem(dlg, pszItem);
        ASSERT_NE(item, nullptr) << pszItem;
        item->trigger();
    }
    int currentChannel() { return m_pData->getTrialqv(-1)->getCurntChnlIndx(); }
};

TEST_F(MapViewMouse, RotateDragTurnsByPixelsOver3Point6AndZeroesTheThirdAngle) {
    CStaticContMap& view = openTimeDomain({at(0, 0, 0, 1.0)});
    ASSERT_EQ(view.m_nViewMode, 1);
    view.m_pGL4d->setRotateValue(1.0, 2.0, 30.0);
    dragOver(view, CPoint(100, 100), CPoint(136, 118));
    const CGxyz r = rotationOf(*view.m_pGL4d);
    EXPECT_DOUBLE_EQ(r.x, 6.0);
    EXPECT_DOUBLE_EQ(r.y, 12.0);
    EXPECT_DOUBLE_EQ(r.z, 0.0);
    EXPECT_EQ(view.m_ptLast, CPoint(136, 118));
    // Each step starts where the last one ended: back to the start undoes the turn.
    dragOver(view, CPoint(136, 118), CPoint(100, 100));
    EXPECT_DOUBLE_EQ(rotationOf(*view.m_pGL4d).x, 1.0);
    EXPECT_DOUBLE_EQ(rotationOf(*view.m_pGL4d).y, 2.0);
}

TEST_F(MapViewMouse, ZoomDragChangesTheDistanceByTheVerticalPixelDifference) {
    CStaticContMap& view = openTimeDomain({at(0, 0, 0, 1.0)});
    choose(*m_face.m_pDlgTimeDomain, "Zoom");
    ASSERT_EQ(view.m_nViewMode, 2);
    const double d0 = distanceOf(*view.m_pGL4d);
    dragOver(view, CPoint(150, 200), CPoint(170, 190));
    EXPECT_DOUBLE_EQ(distanceOf(*view.m_pGL4d), d0 + 10.0);
    dragOver(view, CPoint(150, 190), CPoint(150, 200));
    EXPECT_DOUBLE_EQ(distanceOf(*view.m_pGL4d), d0);
    const CGxyz r = rotationOf(*view.m_pGL4d);
    EXPECT_EQ(r.x + r.y + r.z, 0.0);
}

TEST_F(MapViewMouse, NormalModeNeitherMovesNorPicks) {
    CStaticContMap& view = openTimeDomain({at(0, 0, 0, 1.0)});
    choose(*m_face.m_pDlgTimeDomain, "Normal");
    ASSERT_EQ(view.m_nViewMode, 0);
    dragOver(view, CPoint(100, 100), CPoint(180, 160));
    const CGxyz r = rotationOf(*view.m_pGL4d);
    EXPECT_EQ(r.x + r.y + r.z, 0.0);
    EXPECT_DOUBLE_EQ(distanceOf(*view.m_pGL4d), 750.0);
    clickOver(view, clientCentre(view));
    EXPECT_TRUE(hostCalls().empty());
    EXPECT_EQ(currentChannel(), -1);
}

TEST_F(MapViewMouse, NothingMovesBeforeTheFirstPaint) {
    m_pData = makeTestRecording({at(0, 0, 0, 1.0)});
    m_face.show3DContMapTimeDomain(m_pData.get(), recordHostCall, nullptr);
    CStaticContMap& view = m_face.m_pDlgTimeDomain->m_staticContMap;
    ASSERT_EQ(view.m_pGL4d, nullptr);
    EXPECT_EQ(view.mouseDragTo(CPoint(50, 50)), 1);
    EXPECT_EQ(view.m_ptLast, CPoint(0, 0));
    EXPECT_EQ(view.pickSensorAt(10, 10), 0);
}

// Two spheres on the line of sight (the default camera looks down the z axis from above).
struct PickCase {
    const char* pszName;
    double z0, z1;
    int nExpected;
};

class NearestSphere : public MapViewMouse, public testing::WithParamInterface<PickCase> {};

TEST_P(NearestSphere, ThePickTakesTheHitWithTheSmallestDepthTheFirstOnATie) {
    const PickCase& c = GetParam();
    CStaticContMap& view = openTimeDomain({at(0, 0, c.z0, 1.0), at(0, 0, c.z1, 2.0)});
    choose(*m_face.m_pDlgTimeDomain, "Pick Sensor");
    clickOver(view, clientCentre(view));
    ASSERT_EQ(hostCalls().size(), 1u);
    EXPECT_EQ(hostCalls()[0], std::make_pair(c.nExpected, -1));
    EXPECT_EQ(currentChannel(), c.nExpected);
    // The view waits for the host to ask for a repaint.
    EXPECT_EQ(view.m_ptLast, clientCentre(view));
}

INSTANTIATE_TEST_SUITE_P(Overlap, NearestSphere,
                         testing::Values(PickCase{"SecondNearer", 0.0, 6.0, 1},
                                         PickCase{"FirstNearer", 6.0, 0.0, 0},
                                         PickCase{"SameDepth", 0.0, 0.0, 0}),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST_F(MapViewMouse, PickingBackgroundOrWithoutACallbackChangesNothing) {
    CStaticContMap& view = openTimeDomain({at(0, 0, 0, 1.0)});
    choose(*m_face.m_pDlgTimeDomain, "Pick Sensor");
    clickOver(view, CPoint(5, 5));
    EXPECT_TRUE(hostCalls().empty());
    EXPECT_EQ(currentChannel(), -1);

    m_face.show3DContMapTimeDomain(m_pData.get(), nullptr, nullptr);
    pump();
    clickOver(view, clientCentre(view));
    EXPECT_TRUE(hostCalls().empty());
    EXPECT_EQ(currentChannel(), -1);
}

TEST_F(MapViewMouse, ATinySensorSizeLeavesNoRoomForHits) {
    CStaticContMap& view = openTimeDomain({at(0, 0, 0, 1.0)});
    view.m_Show3DCntMap.m_dSensorSize = 0.0001;
    choose(*m_face.m_pDlgTimeDomain, "Pick Sensor");
    clickOver(view, clientCentre(view));
    EXPECT_TRUE(hostCalls().empty());
}

TEST_F(MapViewMouse, EachModeShowsItsCursorAllOverTheDialog) {
    CStaticContMap& view = openTimeDomain({at(0, 0, 0, 1.0)});
    CDlgContMap3DTimedomain& dlg = *m_face.m_pDlgTimeDomain;
    const CPoint overMap = inDialog(view, CPoint(50, 50));
    CPoint overCheck(2, 2);
    dlg.GetDlgItem(IDC_AUTOFIT_COLOR)->MapWindowPoints(&dlg, &overCheck, 1);

    const struct {
        const char* pszItem;
        int nCursor;
    } cases[] = {
        {"Rotate", IDC_CURSOR_ROTATE}, {"Zoom", IDC_CURSOR_ZOOM}, {"Pick Sensor", IDC_CURSOR_PICK}};
    for (const auto& c : cases) {
        choose(dlg, c.pszItem);
        for (CPoint pt : {overMap, overCheck}) {
            moveTo(dlg, pt);
            int nId = 0;
            POINT hot{0, 0};
            ASSERT_TRUE(AfxGetCursorInfo(GetCursor(), &nId, &hot)) << c.pszItem;
            EXPECT_EQ(nId, c.nCursor) << c.pszItem;
        }
    }
    choose(dlg, "Normal");
    moveTo(dlg, CPoint(overMap.x + 1, overMap.y + 1));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

TEST_F(MapViewMouse, FrequencyAndSpectralMapsTurnAndZoomButNeverPick) {
    m_pData = makeTestRecording({at(0, 0, 0, 1.0)});
    m_face.show3DContMapFrqc(m_pData.get(), nullptr);
    m_face.show3DContMapSpctm(m_pData.get(), nullptr);
    pump();
    auto check = [&](auto& view, CWnd& dlg) {
        SCOPED_TRACE(dlg.GetWindowText());
        ASSERT_NE(view.m_pGL4d, nullptr);
        dragOver(view, CPoint(100, 100), CPoint(136, 118));
        EXPECT_DOUBLE_EQ(rotationOf(*view.m_pGL4d).y, 10.0);
        choose(dlg, "Zoom");
        const double d0 = distanceOf(*view.m_pGL4d);
        dragOver(view, CPoint(100, 200), CPoint(100, 190));
        EXPECT_DOUBLE_EQ(distanceOf(*view.m_pGL4d), d0 + 10.0);
        // Normal and Pick Sensor have no handler here: the view stays in Zoom mode.
        choose(dlg, "Normal");
        choose(dlg, "Pick Sensor");
        EXPECT_EQ(view.m_nViewMode, 2);
        clickOver(view, clientCentre(view));
        moveTo(dlg, inDialog(view, CPoint(40, 40)));
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
    };
    check(m_face.m_pDlgFrqc->m_staticContMap, *m_face.m_pDlgFrqc);
    check(m_face.m_pDlgSpctm->m_staticContMap, *m_face.m_pDlgSpctm);
    EXPECT_TRUE(hostCalls().empty());
    EXPECT_EQ(currentChannel(), -1);
}

} // namespace
