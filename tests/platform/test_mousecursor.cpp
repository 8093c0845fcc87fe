#include "platformtest.h"
#include "qtcursor.h"

#include <QBitmap>

#include <gtest/gtest.h>

namespace {

class CMouseView : public CStatic {
public:
    CPoint m_ptLast;
    std::vector<CPoint> m_drags;
    HCURSOR m_hMode = nullptr;
    BOOL setModeCursor() {
        if (m_hMode == nullptr)
            return FALSE;
        SetCursor(m_hMode);
        return TRUE;
    }
};

// Mouse handling as the map dialogs do it: the view is transparent, the dialog forwards.
class CMouseDialog : public CDialog {
public:
    CMouseView m_view;
    int m_nUpsOverView = 0;

    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_MAP_TIMEDOMAIN, m_view);
    }
    void OnLButtonDown(UINT nFlags, CPoint point) override {
        if (ChildWindowFromPoint(point) == &m_view) {
            MapWindowPoints(&m_view, &point, 1);
            m_view.m_ptLast = point;
        }
        SetCapture();
        CDialog::OnLButtonDown(nFlags, point);
    }
    void OnMouseMove(UINT /*nFlags*/, CPoint point) override {
        if (GetCapture() == this && ChildWindowFromPoint(point) == &m_view) {
            MapWindowPoints(&m_view, &point, 1);
            m_view.m_drags.push_back(point);
        }
    }
    void OnLButtonUp(UINT nFlags, CPoint point) override {
        if (ChildWindowFromPoint(point) == &m_view)
            ++m_nUpsOverView;
        if (GetCapture() == this)
            ReleaseCapture();
        CDialog::OnLButtonUp(nFlags, point);
    }
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) override {
        if (m_view.setModeCursor())
            return TRUE;
        return CDialog::OnSetCursor(pWnd, nHitTest, message);
    }
};

class CCountingWnd : public CWnd {
public:
    int m_nMoves = 0;
    void OnMouseMove(UINT /*nFlags*/, CPoint /*point*/) override { ++m_nMoves; }
};

class MouseAndCursor : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dlg.Create(IDD_CONTMAP3D_TIMEDOMAIN));
        m_dlg.ShowWindow(SW_SHOW);
        ASSERT_TRUE(QTest::qWaitForWindowActive(frameOf(&m_dlg)));
        const QRect map = widgetOf(&m_view())->geometry();
        m_viewOrigin = map.topLeft() + QPoint(2, 2); // inside the client edge
    }
    CMouseView& m_view() { return m_dlg.m_view; }
    QWindow* window() { return frameOf(&m_dlg)->windowHandle(); }
    QPoint overView(int x, int y) { return windowPoint(&m_dlg, m_viewOrigin + QPoint(x, y)); }

    CMouseDialog m_dlg;
    QPoint m_viewOrigin;
};

TEST_F(MouseAndCursor, MouseOverTheTransparentStaticReachesTheDialogInViewCoordinates) {
    QTest::mousePress(window(), Qt::LeftButton, {}, overView(40, 30));
    EXPECT_EQ(m_view().m_ptLast, CPoint(40, 30));
    EXPECT_EQ(CWnd::GetCapture(), &m_dlg);
    QTest::mouseMove(window(), overView(50, 36));
    QTest::mouseRelease(window(), Qt::LeftButton, {}, overView(50, 36));
    EXPECT_EQ(m_view().m_drags, std::vector<CPoint>{CPoint(50, 36)});
    EXPECT_EQ(m_dlg.m_nUpsOverView, 1);
    EXPECT_EQ(CWnd::GetCapture(), nullptr);
}

TEST_F(MouseAndCursor, OnlyTheCapturingWindowGetsMouseMoves) {
    CCountingWnd other;
    ASSERT_TRUE(
        other.Create(nullptr, "Other", WS_POPUP | WS_VISIBLE, CRect(700, 0, 900, 200), nullptr, 0));
    QWindow* otherWindow = frameOf(&other)->windowHandle();
    QTest::mousePress(window(), Qt::LeftButton, {}, overView(10, 10));
    // Moves over another window go to the capturing dialog, in its client coordinates.
    QTest::mouseMove(otherWindow, QPoint(20, 20));
    EXPECT_EQ(other.m_nMoves, 0);
    QTest::mouseRelease(otherWindow, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(CWnd::GetCapture(), nullptr);
    EXPECT_EQ(m_dlg.m_nUpsOverView, 0);
    // Without the capture the moves are the other window's, and the view sees no drag.
    QTest::mouseMove(otherWindow, QPoint(30, 30));
    EXPECT_GT(other.m_nMoves, 0);
    QTest::mouseMove(window(), overView(60, 60));
    EXPECT_TRUE(m_view().m_drags.empty());
}

TEST_F(MouseAndCursor, CaptureRulesWithoutWindows) {
    CWnd none;
    EXPECT_EQ(none.SetCapture(), nullptr);
    EXPECT_EQ(CWnd::GetCapture(), nullptr);
    EXPECT_FALSE(ReleaseCapture());
    EXPECT_EQ(m_dlg.SetCapture(), nullptr);
    {
        CCountingWnd temp;
        ASSERT_TRUE(temp.Create(nullptr, "Temp", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
        EXPECT_EQ(temp.SetCapture(), &m_dlg);
    }
    // A destroyed window gives up the capture.
    EXPECT_EQ(CWnd::GetCapture(), nullptr);
}

struct CursorCase {
    int nId;
    POINT hotSpot;
};

class Cursors : public testing::TestWithParam<CursorCase> {};

TEST_P(Cursors, LoadByIdThroughTheChainWithImageAndHotSpot) {
    const CursorCase& c = GetParam();
    HINSTANCE hModule = AfxFindResourceHandle(c.nId, RT_GROUP_CURSORqv);
    ASSERT_NE(hModule, nullptr);
    HCURSOR h = LoadCursorW(hModule, c.nId);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(LoadCursorW(hModule, c.nId), h);
    int nId = 0;
    POINT hot{0, 0};
    ASSERT_TRUE(AfxGetCursorInfo(h, &nId, &hot));
    EXPECT_EQ(nId, c.nId);
    EXPECT_EQ(hot.x, c.hotSpot.x);
    EXPECT_EQ(hot.y, c.hotSpot.y);

    const QCursor cursor = afxqt::_afxQCursor(h);
    EXPECT_EQ(cursor.hotSpot(), QPoint(c.hotSpot.x, c.hotSpot.y));
    // Bitmap and mask: black marks a set bit.
    const QImage bits = cursor.bitmap().toImage();
    const QImage mask = cursor.mask().toImage();
    ASSERT_EQ(bits.size(), QSize(32, 32));
    const CCursorTemplateqv* t = AfxFindCursorTemplate(hModule, c.nId);
    int nDrawn = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const char ch = t->apszRows[y][x];
            EXPECT_EQ(mask.pixelColor(x, y) == Qt::black, ch != '.') << x << "," << y;
            EXPECT_EQ(bits.pixelColor(x, y) == Qt::black, ch == 'B') << x << "," << y;
            nDrawn += ch != '.';
        }
    }
    EXPECT_GT(nDrawn, 0);
}

INSTANTIATE_TEST_SUITE_P(ViewModes, Cursors,
                         testing::Values(CursorCase{IDC_CURSOR_ZOOM, {16, 15}},
                                         CursorCase{IDC_CURSOR_ROTATE, {17, 16}},
                                         CursorCase{IDC_CURSOR_PICK, {13, 1}}));

TEST(CursorLookup, UnknownIdsGiveNoCursor) {
    EXPECT_EQ(AfxFindResourceHandle(9999, RT_GROUP_CURSORqv), nullptr);
    EXPECT_EQ(LoadCursorW(AfxFindResourceHandle(IDC_CURSOR_ZOOM, RT_GROUP_CURSORqv), 9999),
              nullptr);
    EXPECT_EQ(LoadCursorW(nullptr, 4711), nullptr);
    EXPECT_NE(LoadCursorW(nullptr, IDC_ARROW), nullptr);
    EXPECT_FALSE(AfxGetCursorInfo(nullptr, nullptr, nullptr));
}

TEST_F(MouseAndCursor, TheDialogSetsTheCursorOverItselfAndItsControls) {
    HCURSOR hRotate =
        LoadCursorW(AfxFindResourceHandle(IDC_CURSOR_ROTATE, RT_GROUP_CURSORqv), IDC_CURSOR_ROTATE);
    m_view().m_hMode = hRotate;
    QTest::mouseMove(window(), overView(100, 100));
    EXPECT_EQ(GetCursor(), hRotate);
    EXPECT_EQ(widgetOf(&m_dlg)->cursor().hotSpot(), QPoint(17, 16));
    const QPoint overCheck =
        windowPoint(&m_dlg, widgetOf(m_dlg.GetDlgItem(IDC_AUTOFIT_COLOR))->geometry().center());
    QTest::mouseMove(window(), overCheck);
    EXPECT_EQ(GetCursor(), hRotate);
    EXPECT_EQ(widgetOf(m_dlg.GetDlgItem(IDC_AUTOFIT_COLOR))->cursor().hotSpot(), QPoint(17, 16));

    // Normal mode: each window's own cursor.
    m_view().m_hMode = nullptr;
    QTest::mouseMove(window(), overCheck + QPoint(1, 0));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
    QTest::mouseMove(
        window(),
        windowPoint(&m_dlg, widgetOf(m_dlg.GetDlgItem(IDC_EDIT_MIN))->geometry().center()));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_IBEAM));
}

TEST(WaitCursor, NestsAndRestores) {
    CCmdTarget target;
    target.BeginWaitCursor();
    target.BeginWaitCursor();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    target.EndWaitCursor();
    EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    target.EndWaitCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    target.EndWaitCursor(); // unbalanced: ignored
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(MouseAndCursor, PlacementMovesTheViewsBottomRightInsideTheClientArea) {
    WINDOWPLACEMENT wp{};
    ASSERT_TRUE(m_view().GetWindowPlacement(&wp));
    const QRect before = widgetOf(&m_view())->geometry();
    EXPECT_EQ(wp.rcNormalPosition.left, before.x());
    EXPECT_EQ(wp.rcNormalPosition.right, before.x() + before.width());
    frameOf(&m_dlg)->resize(700, 650);
    pump();
    CRect rcClient;
    m_dlg.GetClientRect(&rcClient);
    wp.rcNormalPosition.right = rcClient.right - 10;
    wp.rcNormalPosition.bottom = rcClient.bottom - 10;
    ASSERT_TRUE(m_view().SetWindowPlacement(&wp));
    CRect rcView(0, 0, 0, 0);
    m_view().GetWindowRect(&rcView);
    m_dlg.ScreenToClient(reinterpret_cast<LPPOINT>(&rcView.right));
    EXPECT_EQ(rcView.right, rcClient.right - 10);
    EXPECT_EQ(rcView.bottom, rcClient.bottom - 10);
    EXPECT_EQ(widgetOf(&m_view())->geometry().topLeft(), before.topLeft());
    EXPECT_FALSE(CWnd().GetWindowPlacement(&wp));
    EXPECT_FALSE(m_view().SetWindowPlacement(nullptr));
}

TEST_F(MouseAndCursor, ShowHideVisibilityAndForeground) {
    CDialog second;
    ASSERT_TRUE(second.Create(IDD_CONTMAP3D_FREQUENCY));
    EXPECT_FALSE(second.IsWindowVisible());
    EXPECT_FALSE(second.ShowWindow(SW_SHOW));
    ASSERT_TRUE(QTest::qWaitForWindowActive(frameOf(&second)));
    EXPECT_TRUE(second.IsWindowVisible());
    EXPECT_TRUE(m_dlg.SetForegroundWindow());
    EXPECT_TRUE(QTest::qWaitForWindowActive(frameOf(&m_dlg)));
    EXPECT_TRUE(second.ShowWindow(SW_HIDE));
    EXPECT_FALSE(second.IsWindowVisible());
    EXPECT_FALSE(second.GetDlgItem(IDC_MAP_SPECTRUM)->IsWindowVisible());
}

} // namespace
