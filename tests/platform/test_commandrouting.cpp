#include "platformtest.h"

#include <QLineEdit>
#include <QMenuBar>

#include <gtest/gtest.h>

namespace {

std::vector<std::string> g_log;

class CRoutingView : public CStatic {
public:
    void OnNormal() { g_log.push_back("view:2005"); }
    void OnZoom() { g_log.push_back("view:2007"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRoutingView, CStatic)
ON_COMMAND(2005, &CRoutingView::OnNormal)
ON_COMMAND(2007, &CRoutingView::OnZoom)
END_MESSAGE_MAP()

// Offers every command to its view before its own table, as the map dialogs do.
class CRoutingDialog : public CDialog {
public:
    CRoutingView m_view;

    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, 2001, m_view); }
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
    void OnEditMax() { g_log.push_back("dialog:2005-change"); }
    void OnUpdate() { g_log.push_back("dialog:2006"); }
    void OnZoom() { g_log.push_back("dialog:2007"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRoutingDialog, CDialog)
ON_EN_CHANGE(2005, &CRoutingDialog::OnEditMax)
ON_BN_CLICKED(2006, &CRoutingDialog::OnUpdate)
ON_COMMAND(2007, &CRoutingDialog::OnZoom)
END_MESSAGE_MAP()

class COwnerWnd : public CWnd {
public:
    void OnOwned() { g_log.push_back("owner:2020"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(COwnerWnd, CWnd)
ON_COMMAND(2020, &COwnerWnd::OnOwned)
END_MESSAGE_MAP()

class CRoutingApp : public CWinApp {
public:
    void OnAppCommand() { g_log.push_back("app:2009"); }
    void OnAppChange() { g_log.push_back("app:2004-change"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRoutingApp, CWinApp)
ON_COMMAND(2009, &CRoutingApp::OnAppCommand)
ON_EN_CHANGE(2004, &CRoutingApp::OnAppChange)
END_MESSAGE_MAP()

QAction* menuItem(CWnd& dlg, int nId) {
    for (QAction* a : frameOf(&dlg)->findChild<QMenuBar*>()->actions()[0]->menu()->actions()) {
        if (a->data().toInt() == nId)
            return a;
    }
    return nullptr;
}

class CommandRouting : public testing::Test {
protected:
    void SetUp() override {
        g_log.clear();
        ASSERT_TRUE(m_owner.Create(nullptr, "Host", WS_POPUP, CRect(0, 0, 200, 100), nullptr, 0));
        m_app.m_pMainWnd = &m_owner;
        ASSERT_TRUE(m_dlg.Create(2017));
    }
    CRoutingApp m_app;
    COwnerWnd m_owner;
    CRoutingDialog m_dlg;
};

TEST_F(CommandRouting, WithoutParentTheMainWindowOwnsTheDialog) {
    EXPECT_EQ(m_dlg.GetOwner(), &m_owner);
    EXPECT_EQ(frameOf(&m_dlg)->parentWidget(), widgetOf(&m_owner));
    EXPECT_TRUE(frameOf(&m_dlg)->isWindow());
    EXPECT_EQ(m_dlg.GetParent(), nullptr);
    EXPECT_EQ(CWnd::FromHandle(m_dlg.GetDlgItem(2001)->m_hWnd), &m_dlg.m_view);
}

TEST_F(CommandRouting, MenuCommandsGoToTheViewThenDialogThenOwnerThenApplication) {
    menuItem(m_dlg, 2005)->trigger(); // view
    menuItem(m_dlg, 2007)->trigger(); // view before the dialog's own entry
    menuItem(m_dlg, 2020)->trigger(); // owner
    menuItem(m_dlg, 2009)->trigger(); // application
    const std::vector<std::string> expected = {"view:2005", "view:2007", "owner:2020", "app:2009"};
    EXPECT_EQ(g_log, expected);
    EXPECT_FALSE(m_dlg.OnCmdMsg(4711, CN_COMMAND, nullptr, nullptr));
}

TEST_F(CommandRouting, EditChangeAndMenuCommandWithTheSameIdStayApart) {
    qobject_cast<QLineEdit*>(widgetOf(m_dlg.GetDlgItem(2005)))->setText("3");
    EXPECT_EQ(g_log, std::vector<std::string>{"dialog:2005-change"});
    g_log.clear();
    menuItem(m_dlg, 2005)->trigger();
    EXPECT_EQ(g_log, std::vector<std::string>{"view:2005"});
    g_log.clear();
    // Notifications other than commands stay with the dialog.
    qobject_cast<QLineEdit*>(widgetOf(m_dlg.GetDlgItem(2004)))->setText("3");
    EXPECT_TRUE(g_log.empty());
}

TEST_F(CommandRouting, ButtonClickAndOnCommandReachTheDialogTable) {
    QTest::mouseClick(widgetOf(m_dlg.GetDlgItem(2006)), Qt::LeftButton);
    EXPECT_TRUE(m_dlg.OnCommand(MAKEWPARAM(2006, BN_CLICKED), 0));
    EXPECT_EQ(g_log, (std::vector<std::string>{"dialog:2006", "dialog:2006"}));
    AFX_CMDHANDLERINFO info{nullptr, nullptr};
    EXPECT_TRUE(m_dlg.OnCmdMsg(2005, CN_COMMAND, nullptr, &info));
    EXPECT_EQ(info.pTarget, &m_dlg.m_view);
    EXPECT_EQ(g_log.size(), 2u); // a handler query calls nothing
}

TEST_F(CommandRouting, KeysAddressedToTheViewStopAtItsInputCheck) {
    m_dlg.ShowWindow(SW_SHOW);
    ASSERT_TRUE(QTest::qWaitForWindowActive(frameOf(&m_dlg)));
    // Esc sent to the view: its own dialog-key check takes it, so the dialog stays.
    QTest::keyClick(widgetOf(&m_dlg.m_view), Qt::Key_Escape);
    EXPECT_TRUE(m_dlg.IsWindowVisible());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(m_dlg.IsWindowVisible());
}

TEST_F(CommandRouting, TheCloseBoxIsCancel) {
    m_dlg.ShowWindow(SW_SHOW);
    EXPECT_TRUE(m_dlg.IsWindowVisible());
    frameOf(&m_dlg)->close();
    EXPECT_FALSE(m_dlg.IsWindowVisible());
    EXPECT_EQ(m_dlg.GetResult(), IDCANCEL);
    EXPECT_NE(m_dlg.m_hWnd, nullptr); // hidden, not destroyed
}

TEST(CommandRoutingWithoutWindow, FailsCleanly) {
    CWnd wnd;
    EXPECT_FALSE(wnd.OnCommand(MAKEWPARAM(1, 0), 0));
    EXPECT_FALSE(wnd.ShowWindow(SW_SHOW));
    EXPECT_FALSE(wnd.IsWindowVisible());
    EXPECT_FALSE(wnd.SetForegroundWindow());
    EXPECT_FALSE(wnd.DestroyWindow());
    EXPECT_FALSE(wnd.SubclassDlgItem(2001, nullptr));
    EXPECT_EQ(CWnd::FromHandle(nullptr), nullptr);
    MSG msg{};
    EXPECT_FALSE(wnd.IsDialogMessage(&msg));
    EXPECT_FALSE(wnd.IsDialogMessage(nullptr));
}

} // namespace
