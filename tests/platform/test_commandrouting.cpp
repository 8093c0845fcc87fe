#include "platformtest.h"

#include <QMenuBar>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> g_log;

class CRoutingView : public CStatic {
public:
    void OnNormal() { g_log.push_back("view:normal"); }
    void OnZoom() { g_log.push_back("view:zoom"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRoutingView, CStatic)
ON_COMMAND(ID_VIEW_NORMAL, &CRoutingView::OnNormal)
ON_COMMAND(ID_VIEW_ZOOM, &CRoutingView::OnZoom)
END_MESSAGE_MAP()

// Offers every command to its view before its own table, as the map dialogs do.
class CRoutingDialog : public CDialog {
public:
    CRoutingView m_view;

    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_MAP_TIMEDOMAIN, m_view);
    }
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pInfo) override {
        if (m_view.OnCmdMsg(nID, nCode, pExtra, pInfo))
            return TRUE;
        return CDialog::OnCmdMsg(nID, nCode, pExtra, pInfo);
    }
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (m_view.PreTranslateInput(pMsg))
            return TRUE;
        return CDialog::PreTranslateMessage(pMsg);
    }
    void OnZoom() { g_log.push_back("dialog:zoom"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRoutingDialog, CDialog)
ON_COMMAND(ID_VIEW_ZOOM, &CRoutingDialog::OnZoom)
END_MESSAGE_MAP()

// The map dialogs have no owner or application that takes commands; a command nobody takes is
// dropped. Keys addressed to the view meet its own input check first.
TEST(CommandRouting, MenuCommandsAndKeysGoToTheViewBeforeTheDialog) {
    CRoutingDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_CONTMAP3D_TIMEDOMAIN));
    menuItem(dlg, "Normal")->trigger();
    menuItem(dlg, "Zoom")->trigger(); // the view's entry before the dialog's own
    menuItem(dlg, "Pick Sensor")->trigger();
    EXPECT_EQ(g_log, (std::vector<std::string>{"view:normal", "view:zoom"}));
    EXPECT_FALSE(dlg.OnCmdMsg(4711, CN_COMMAND, nullptr, nullptr));
    // A handler query names the target and calls nothing.
    AFX_CMDHANDLERINFO info{nullptr, nullptr};
    EXPECT_TRUE(dlg.OnCmdMsg(ID_VIEW_NORMAL, CN_COMMAND, nullptr, &info));
    EXPECT_EQ(info.pTarget, &dlg.m_view);
    EXPECT_EQ(g_log.size(), 2u);

    dlg.ShowWindow(SW_SHOW);
    ASSERT_TRUE(QTest::qWaitForWindowActive(frameOf(&dlg)));
    // Esc sent to the view: its own dialog-key check takes it, so the dialog stays.
    QTest::keyClick(widgetOf(dlg.m_view), Qt::Key_Escape);
    EXPECT_TRUE(dlg.IsWindowVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(dlg.IsWindowVisible());
}

} // namespace
