#include "platformtest.h"
#include "qtfont.h"

#include "glofflinecontext.h"

#include <EGL/egl.h>
#include <QFontInfo>

#include <gtest/gtest.h>

namespace {

// A frame of one colour, as RGBA bytes: on this little-endian machine 0xAABBGGRR.
std::vector<quint32> solidFrame(int w, int h, quint32 nABGR) {
    return std::vector<quint32>(static_cast<size_t>(w) * h, nABGR);
}

// Paints as the map views do: the frame first, then a text line on a black box over it.
class CPaintingView : public CStatic {
public:
    CFont m_font;
    int m_nPaints = 0;
    int m_nErases = 0;
    CSize m_targetSize;
    CSize m_textExtent;

    CPaintingView() { m_font.CreatePointFont(90, "Arial"); }
    BOOL OnEraseBkgnd(CDC* pDC) override {
        ++m_nErases;
        return CStatic::OnEraseBkgnd(pDC);
    }
    void OnPaint() override {
        ++m_nPaints;
        CPaintDC dc(this);
        HDC hdc = dc.GetSafeHdc();
        m_targetSize = CSize(hdc->getTargetWidth(), hdc->getTargetHeight());
        const auto frame = solidFrame(m_targetSize.cx, m_targetSize.cy, 0xFF0000FF);
        hdc->presentFrame(reinterpret_cast<const unsigned char*>(frame.data()), m_targetSize.cx,
                          m_targetSize.cy);
        const COLORREF crOldText = dc.SetTextColor(RGB(255, 255, 255));
        const COLORREF crOldBk = dc.SetBkColor(RGB(0, 0, 0));
        CFont* pOldFont = dc.SelectObject(&m_font);
        SIZE size{0, 0};
        GetTextExtentPoint32W(hdc, L"A", 1, &size);
        m_textExtent = CSize(size);
        dc.TextOutW(0, 0, L"Rotation: 0 0 0 ", 16);
        dc.SetBkColor(crOldBk);
        dc.SetTextColor(crOldText);
        dc.SelectObject(pOldFont);
    }
};

class CViewDialog : public CDialog {
public:
    CPaintingView m_view;
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_MAP_TIMEDOMAIN, m_view);
    }
};

QColor pixelOf(CWnd* pWnd, int x, int y) {
    QWidget* w = widgetOf(*pWnd);
    const QImage image = w->grab().toImage();
    const QRect client = afxqt::_afxBridge(w)->clientRect();
    return image.pixelColor(client.x() + x, client.y() + y);
}

class DeviceContext : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dlg.Create(IDD_CONTMAP3D_TIMEDOMAIN));
        m_dlg.ShowWindow(SW_SHOW);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frameOf(&m_dlg)));
        pump();
    }
    CViewDialog m_dlg;
};

// Liberation Sans shares Arial's metrics, so text extents are the same on every machine: at 12
// pixels "A" is 8 wide, a line 14 high.
TEST_F(DeviceContext, PaintPresentsTheFrameDrawsTextInTheMetricCompatibleFaceErasesWhenAsked) {
    ASSERT_GT(m_dlg.m_view.m_nPaints, 0);
    CRect rc;
    m_dlg.m_view.GetClientRect(&rc);
    EXPECT_EQ(m_dlg.m_view.m_targetSize, rc.Size());
    EXPECT_EQ(pixelOf(&m_dlg.m_view, rc.Width() / 2, rc.Height() / 2), QColor(Qt::red));
    // The text line stands on a black box in the top-left corner.
    const CSize ext = m_dlg.m_view.m_textExtent;
    EXPECT_EQ(pixelOf(&m_dlg.m_view, 1, ext.cy - 1), QColor(Qt::black));
    EXPECT_EQ(pixelOf(&m_dlg.m_view, 1, ext.cy + 1), QColor(Qt::red));
    CFont font;
    EXPECT_FALSE(font.IsCreated());
    ASSERT_TRUE(font.CreatePointFont(90, "Arial"));
    EXPECT_FALSE(font.CreatePointFont(90, "Arial"));
    EXPECT_EQ(font.GetResolvedFaceName(), "Liberation Sans");
    EXPECT_EQ(QFontInfo(afxqt::_afxDialogFont()).family(), "Liberation Sans");
    EXPECT_EQ(QFontInfo(afxqt::_afxDialogFont()).pixelSize(), 10);
    EXPECT_EQ(m_dlg.m_view.m_textExtent, CSize(8, 14));
    CDC* pDC = m_dlg.m_view.GetDC();
    pDC->SelectObject(&font);
    EXPECT_EQ(pDC->GetTextExtent(L"Distance: 250", 13), CSize(73, 14));
    m_dlg.m_view.ReleaseDC(pDC);

    // A repaint erases only when asked.
    const int nErases = m_dlg.m_view.m_nErases;
    const int nPaints = m_dlg.m_view.m_nPaints;
    m_dlg.m_view.InvalidateRect(nullptr, FALSE);
    m_dlg.m_view.UpdateWindow();
    EXPECT_EQ(m_dlg.m_view.m_nPaints, nPaints + 1);
    EXPECT_EQ(m_dlg.m_view.m_nErases, nErases);
    m_dlg.m_view.Invalidate();
    m_dlg.m_view.UpdateWindow();
    EXPECT_EQ(m_dlg.m_view.m_nPaints, nPaints + 2);
    EXPECT_EQ(m_dlg.m_view.m_nErases, nErases + 1);
}

TEST_F(DeviceContext, AFramePresentedOutsideAPaintIsKeptAndShown) {
    CDialog plain;
    ASSERT_TRUE(plain.Create(IDD_CONTMAP3D_MODELING));
    plain.ShowWindow(SW_SHOW);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frameOf(&plain)));
    CWnd* pMap = plain.GetDlgItem(IDC_MAP_TIMEDOMAIN);
    CDC* pDC = pMap->GetDC();
    ASSERT_NE(pDC, nullptr);
    HDC hdc = pDC->GetSafeHdc();
    const int w = hdc->getTargetWidth(), h = hdc->getTargetHeight();
    const auto frame = solidFrame(w, h, 0xFFFF0000);
    EXPECT_EQ(hdc->presentFrame(reinterpret_cast<const unsigned char*>(frame.data()), w, h), 1);
    EXPECT_EQ(hdc->presentFrame(nullptr, w, h), 0);
    EXPECT_EQ(m_dlg.ReleaseDC(pDC), 0); // not its device context
    EXPECT_EQ(pMap->ReleaseDC(pDC), 1);
    EXPECT_EQ(pMap->ReleaseDC(pDC), 0);
    pump();
    EXPECT_EQ(pixelOf(pMap, w / 2, h / 2), QColor(Qt::blue));
}

// Device contexts of missing windows are empty, and commands, showing and unknown dialogs fail.
TEST(WithoutAWindow, EveryCallFailsCleanlyAndReleasingTheContextLeavesNoneCurrent) {
    CWnd none;
    EXPECT_FALSE(none.OnCommand(MAKEWPARAM(1, 0), 0));
    EXPECT_FALSE(none.ShowWindow(SW_SHOW));
    EXPECT_FALSE(none.IsWindowVisible());
    EXPECT_FALSE(none.SetForegroundWindow());
    EXPECT_FALSE(none.DestroyWindow());
    EXPECT_FALSE(none.IsDialogMessage(nullptr));
    EXPECT_EQ(none.GetDC(), nullptr);
    EXPECT_EQ(none.ReleaseDC(nullptr), 0);
    CPaintDC dc(&none);
    EXPECT_EQ(dc.GetSafeHdc(), nullptr);
    EXPECT_FALSE(dc.TextOutW(0, 0, L"x", 1));
    EXPECT_EQ(dc.SelectObject(nullptr), nullptr);
    SIZE size{7, 7};
    EXPECT_FALSE(GetTextExtentPoint32W(nullptr, L"A", 1, &size));
    EXPECT_EQ(size.cx, 7);
    CDialog dlg;
    EXPECT_FALSE(dlg.Create(9999));
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_FALSE(dlg.CreateIndirect(nullptr));
    ASSERT_TRUE(dlg.Create(IDD_CONTMAP3D_MODELING));
    EXPECT_FALSE(dlg.Create(IDD_CONTMAP3D_MODELING)); // once only
    EXPECT_EQ(dlg.GetDlgItem(4711), nullptr);

    // The views release their viewport's context after each paint: none stays current, and
    // releasing when none is current is fine too. Whether their frames show is seen by the views'
    // and the installed dialog host's tests.
    CGLOfflineContextqv context;
    std::string strError;
    ASSERT_TRUE(context.open(8, 8, strError) && context.makeCurrent()) << strError;
    eglBindAPI(EGL_OPENGL_API);
    ASSERT_NE(eglGetCurrentContext(), EGL_NO_CONTEXT);
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
    EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);
    EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr)); // nothing current: still fine
    EXPECT_FALSE(wglMakeCurrent(reinterpret_cast<HDC>(1), nullptr));
}

} // namespace
