#include "platformtest.h"
#include "qtcursor.h"

#include <QBitmap>

#include <tuple>

#include <gtest/gtest.h>

namespace {

class CMouseView : public CStatic {
public:
    std::vector<CPoint> m_drags;
    HCURSOR m_hMode = nullptr; // the view mode's cursor, which the dialog shows over the map
};

// Mouse handling as the map dialogs do it: the view is transparent, the dialog forwards. How a
// press, drag and release over the map reach the view is the views' and dialogs' test; here, what
// the capture does with other windows.
class CMouseDialog : public CDialog {
public:
    CMouseView m_view;
    int m_nUpsOverView = 0;

    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_MAP_TIMEDOMAIN, m_view);
    }
    void OnLButtonDown(UINT nFlags, CPoint point) override {
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
        if (m_view.m_hMode == nullptr)
            return CDialog::OnSetCursor(pWnd, nHitTest, message);
        SetCursor(m_view.m_hMode);
        return TRUE;
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
        const QRect map = widgetOf(m_view())->geometry();
        m_viewOrigin = map.topLeft() + QPoint(2, 2); // inside the client edge
    }
    CMouseView& m_view() { return m_dlg.m_view; }
    QWindow* window() { return frameOf(&m_dlg)->windowHandle(); }
    QPoint overView(int x, int y) { return windowPoint(&m_dlg, m_viewOrigin + QPoint(x, y)); }

    CMouseDialog m_dlg;
    QPoint m_viewOrigin;
};

TEST_F(MouseAndCursor, OnlyTheCapturingWindowGetsMouseMovesUntilItIsDestroyed) {
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

    // Capture needs a window, and a destroyed window gives it up.
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
    EXPECT_EQ(CWnd::GetCapture(), nullptr);
}

// Each view-mode cursor loads by id through the chain, once, and shows its template: black marks
// a set bit of the bitmap, anything but '.' one of the mask.
TEST(Cursors, KnownIdsLoadWithTheirImageAndHotSpotUnknownOnesGiveNone) {
    for (int nCursor : {IDC_CURSOR_ZOOM, IDC_CURSOR_ROTATE, IDC_CURSOR_PICK}) {
        SCOPED_TRACE(nCursor);
        HINSTANCE hModule = AfxFindResourceHandle(nCursor, RT_GROUP_CURSORqv);
        ASSERT_NE(hModule, nullptr);
        const CCursorTemplateqv* t = AfxFindCursorTemplate(hModule, nCursor);
        HCURSOR h = LoadCursorW(hModule, nCursor);
        ASSERT_TRUE(t != nullptr && h != nullptr);
        EXPECT_EQ(LoadCursorW(hModule, nCursor), h);
        int nId = 0;
        POINT hot{0, 0};
        ASSERT_TRUE(AfxGetCursorInfo(h, &nId, &hot));
        EXPECT_EQ(std::make_tuple(nId, hot.x, hot.y),
                  std::make_tuple(nCursor, t->nHotSpotX, t->nHotSpotY));
        const QCursor cursor = afxqt::_afxQCursor(h);
        EXPECT_EQ(cursor.hotSpot(), QPoint(t->nHotSpotX, t->nHotSpotY));
        const QImage bits = cursor.bitmap().toImage();
        const QImage mask = cursor.mask().toImage();
        ASSERT_EQ(bits.size(), QSize(32, 32));
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                const char ch = t->apszRows[y][x];
                EXPECT_EQ(mask.pixelColor(x, y) == Qt::black, ch != '.') << x << "," << y;
                EXPECT_EQ(bits.pixelColor(x, y) == Qt::black, ch == 'B') << x << "," << y;
            }
        }
    }
    // Unknown ids give no cursor; the system's arrow is there without a module.
    EXPECT_EQ(AfxFindResourceHandle(9999, RT_GROUP_CURSORqv), nullptr);
    EXPECT_EQ(LoadCursorW(AfxFindResourceHandle(IDC_CURSOR_ZOOM, RT_GROUP_CURSORqv), 9999),
              nullptr);
    EXPECT_EQ(LoadCursorW(nullptr, 4711), nullptr);
    EXPECT_NE(LoadCursorW(nullptr, IDC_ARROW), nullptr);
    EXPECT_FALSE(AfxGetCursorInfo(nullptr, nullptr, nullptr));
}

// Which cursor each mode shows is the views' business; here, that the one set is the one Qt shows
// over the dialog's controls, and that without one each window shows its own. The wait cursor
// overrides them all; it nests and restores.
TEST_F(MouseAndCursor, TheDialogSetsTheCursorOverItselfAndItsControlsAndTheWaitCursorNests) {
    m_view().m_hMode =
        LoadCursorW(AfxFindResourceHandle(IDC_CURSOR_ROTATE, RT_GROUP_CURSORqv), IDC_CURSOR_ROTATE);
    QWidget* check = widgetOf(*m_dlg.GetDlgItem(IDC_AUTOFIT_COLOR));
    QTest::mouseMove(window(), windowPoint(&m_dlg, check->geometry().center()));
    EXPECT_EQ(check->cursor().hotSpot(), QPoint(17, 16));
    m_view().m_hMode = nullptr;
    QWidget* edit = widgetOf(*m_dlg.GetDlgItem(IDC_EDIT_MIN));
    QTest::mouseMove(window(), windowPoint(&m_dlg, edit->geometry().center()));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_IBEAM));

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

// The dialogs' resize test sees the bottom-right corner follow; here, that the rest stays. Showing
// reports whether the window was visible; hiding hides the controls too.
TEST_F(MouseAndCursor, PlacementMovesOnlyTheCornersItChangesAndShowingOnlyWhatItNames) {
    WINDOWPLACEMENT wp{};
    ASSERT_TRUE(m_view().GetWindowPlacement(&wp));
    const QRect before = widgetOf(m_view())->geometry();
    EXPECT_EQ(wp.rcNormalPosition.left, before.x());
    wp.rcNormalPosition.right += 30;
    wp.rcNormalPosition.bottom -= 20;
    ASSERT_TRUE(m_view().SetWindowPlacement(&wp));
    EXPECT_EQ(widgetOf(m_view())->geometry(), before.adjusted(0, 0, 30, -20));
    EXPECT_FALSE(CWnd().GetWindowPlacement(&wp));
    EXPECT_FALSE(m_view().SetWindowPlacement(nullptr));

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
