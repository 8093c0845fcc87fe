#include "viewtestsupport.h"

#include "mdtrial.h"

namespace {

class MapViewMouse : public MapViewTest {
protected:
    // Presses on the map at the first point, moves through the others and releases at the last
    // (a click when there is one point): in the view's client coordinates, events to the dialog.
    template <class TView> void dragOver(TView& view, std::initializer_list<CPoint> points) {
        CWnd& dlg = *view.GetParent();
        press(dlg, inDialog(view, *points.begin()));
        for (auto it = points.begin() + 1; it != points.end(); ++it)
            moveTo(dlg, inDialog(view, *it));
        release(dlg, inDialog(view, *(points.end() - 1)));
    }
    int currentChannel() { return m_pData->getTrialqv(-1)->getCurntChnlIndx(); }
};

// A drag and the same drag back in each mode: Rotate turns by pixels over 3.6 and zeroes the
// third angle, Zoom moves the camera by the vertical difference (down is nearer), Normal does
// neither. Each step starts where the last one ended, so the way back in two steps undoes it.
TEST_F(MapViewMouse, EachModeMovesTheCameraItsOwnWayAndTheWayBackUndoesIt) {
    const struct {
        const char* pszMode;
        int nMode;
        CGxyz turned;
        double dDistance;
    } cases[] = {{"Rotate", 1, {6.0, 12.0, 0.0}, 750.0},
                 {"Zoom", 2, {1.0, 2.0, 30.0}, 732.0},
                 {"Normal", 0, {1.0, 2.0, 30.0}, 750.0}};
    CStaticContMap& view = openTimeDomain({at(0, 0, 0, 1.0)});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszMode);
        choose(*m_face.m_pDlgTimeDomain, c.pszMode);
        ASSERT_EQ(view.m_nViewMode, c.nMode);
        view.m_pGL4d->setRotateValue(1.0, 2.0, 30.0);
        view.m_pGL4d->setTranslate(0.0, 0.0, -750.0);
        dragOver(view, {CPoint(100, 100), CPoint(136, 118)});
        const CGxyz r = rotationOf(*view.m_pGL4d);
        EXPECT_EQ(std::vector<double>({r.x, r.y, r.z}),
                  std::vector<double>({c.turned.x, c.turned.y, c.turned.z}));
        EXPECT_DOUBLE_EQ(distanceOf(*view.m_pGL4d), c.dDistance);
        dragOver(view, {CPoint(136, 118), CPoint(118, 109), CPoint(100, 100)});
        EXPECT_DOUBLE_EQ(rotationOf(*view.m_pGL4d).x, 1.0);
        EXPECT_DOUBLE_EQ(rotationOf(*view.m_pGL4d).y, 2.0);
        EXPECT_DOUBLE_EQ(distanceOf(*view.m_pGL4d), 750.0);
    }
    // Nor does Normal pick.
    dragOver(view, {clientCentre(view)});
    EXPECT_TRUE(hostCalls().empty());
    EXPECT_EQ(currentChannel(), -1);
}

// Two spheres on the line of sight (the default camera looks down the z axis from above): the
// pick tells the host and makes current the nearer one, the first on a tie, and the view waits
// for the host to ask for a repaint.
TEST_F(MapViewMouse, ThePickTakesTheHitWithTheSmallestDepthTheFirstOnATie) {
    const struct {
        const char* pszName;
        double z0, z1;
        int nExpected;
    } cases[] = {
        {"second nearer", 0.0, 6.0, 1}, {"first nearer", 6.0, 0.0, 0}, {"same depth", 0.0, 0.0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        hostCalls().clear();
        CStaticContMap& view = openTimeDomain({at(0, 0, c.z0, 1.0), at(0, 0, c.z1, 2.0)});
        choose(*m_face.m_pDlgTimeDomain, "Pick Sensor");
        dragOver(view, {clientCentre(view)});
        EXPECT_EQ(hostCalls(), (std::vector<std::pair<int, int>>{{c.nExpected, -1}}));
        EXPECT_EQ(currentChannel(), c.nExpected);
        EXPECT_EQ(view.m_ptLast, clientCentre(view));
    }
}

// Over the background, with no host callback, or with spheres too small to leave room for hits.
TEST_F(MapViewMouse, PicksThatFindNothingOrHaveNoCallbackChangeNothing) {
    for (const char* pszCase : {"background", "no callback", "tiny sensors"}) {
        SCOPED_TRACE(pszCase);
        const std::string strCase = pszCase;
        CStaticContMap& view =
            openTimeDomain({at(0, 0, 0, 1.0)}, strCase == "no callback" ? nullptr : recordHostCall);
        if (strCase == "tiny sensors")
            view.m_Show3DCntMap.m_dSensorSize = 0.0001;
        choose(*m_face.m_pDlgTimeDomain, "Pick Sensor");
        dragOver(view, {strCase == "background" ? CPoint(5, 5) : clientCentre(view)});
        EXPECT_TRUE(hostCalls().empty());
        EXPECT_EQ(currentChannel(), -1);
    }
}

// Over the map; that the dialog shows it over its controls too is the window layer's test.
TEST_F(MapViewMouse, EachModeShowsItsCursor) {
    CStaticContMap& view = openTimeDomain({at(0, 0, 0, 1.0)});
    CDlgContMap3DTimedomain& dlg = *m_face.m_pDlgTimeDomain;
    // Each move to another point: a move that goes nowhere is not delivered.
    int nMoves = 0;
    const std::pair<const char*, int> cases[] = {
        {"Rotate", IDC_CURSOR_ROTATE}, {"Zoom", IDC_CURSOR_ZOOM}, {"Pick Sensor", IDC_CURSOR_PICK}};
    for (const auto& [pszItem, nCursor] : cases) {
        choose(dlg, pszItem);
        moveTo(dlg, inDialog(view, CPoint(50, 50 + ++nMoves)));
        int nId = 0;
        POINT hot{0, 0};
        ASSERT_TRUE(AfxGetCursorInfo(GetCursor(), &nId, &hot)) << pszItem;
        EXPECT_EQ(nId, nCursor) << pszItem;
    }
    choose(dlg, "Normal");
    moveTo(dlg, inDialog(view, CPoint(50, 50 + ++nMoves)));
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
        dragOver(view, {CPoint(100, 100), CPoint(136, 118)});
        EXPECT_DOUBLE_EQ(rotationOf(*view.m_pGL4d).y, 10.0);
        choose(dlg, "Zoom");
        const double d0 = distanceOf(*view.m_pGL4d);
        dragOver(view, {CPoint(100, 200), CPoint(100, 190)});
        EXPECT_DOUBLE_EQ(distanceOf(*view.m_pGL4d), d0 + 10.0);
        // Normal and Pick Sensor have no handler here: the view stays in Zoom mode.
        choose(dlg, "Normal");
        choose(dlg, "Pick Sensor");
        EXPECT_EQ(view.m_nViewMode, 2);
        dragOver(view, {clientCentre(view)});
        moveTo(dlg, inDialog(view, CPoint(40, 40)));
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
    };
    check(m_face.m_pDlgFrqc->m_staticContMap, *m_face.m_pDlgFrqc);
    check(m_face.m_pDlgSpctm->m_staticContMap, *m_face.m_pDlgSpctm);
    EXPECT_TRUE(hostCalls().empty());
    EXPECT_EQ(currentChannel(), -1);
}

} // namespace
