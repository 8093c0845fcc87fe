#include "platformtest.h"

#include <QLineEdit>
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
    void OnEditMax() { g_log.push_back("dialog:max-change"); }
    void OnUpdate() { g_log.push_back("dialog:update"); }
    void OnZoom() { g_log.push_back("dialog:zoom"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRoutingDialog, CDialog)
ON_EN_CHANGE(IDC_EDIT_MAX, &CRoutingDialog::OnEditMax)
ON_BN_CLICKED(IDC_UPDATE, &CRoutingDialog::OnUpdate)
ON_COMMAND(ID_VIEW_ZOOM, &CRoutingDialog::OnZoom)
END_MESSAGE_MAP()

class COwnerWnd : public CWnd {
public:
    void OnOwned() { g_log.push_back("owner:pick"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(COwnerWnd, CWnd)
ON_COMMAND(ID_VIEW_PICKSENSOR, &COwnerWnd::OnOwned)
END_MESSAGE_MAP()

class CRoutingApp : public CWinApp {
public:
    void OnAppCommand() { g_log.push_back("app:rotate"); }
    void OnAppChange() { g_log.push_back("app:min-change"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CRoutingApp, CWinApp)
ON_COMMAND(ID_VIEW_ROTATE, &CRoutingApp::OnAppCommand)
ON_EN_CHANGE(IDC_EDIT_MIN, &CRoutingApp::OnAppChange)
END_MESSAGE_MAP()

class CommandRouting : public testing::Test {
protected:
    void SetUp() override {
        g_log.clear();
        ASSERT_TRUE(m_owner.Create(nullptr, "Host", WS_POPUP, CRect(0, 0, 200, 100), nullptr, 0));
        m_app.m_pMainWnd = &m_owner;
        ASSERT_TRUE(m_dlg.Create(IDD_CONTMAP3D_TIMEDOMAIN));
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
    EXPECT_EQ(CWnd::FromHandle(m_dlg.GetDlgItem(IDC_MAP_TIMEDOMAIN)->m_hWnd), &m_dlg.m_view);
}

TEST_F(CommandRouting, MenuCommandsGoToTheViewThenDialogThenOwnerThenApplication) {
    menuItem(m_dlg, "Normal")->trigger();      // view
    menuItem(m_dlg, "Zoom")->trigger();        // view before the dialog's own entry
    menuItem(m_dlg, "Pick Sensor")->trigger(); // owner
    menuItem(m_dlg, "Rotate")->trigger();      // application
    const std::vector<std::string> expected = {"view:normal", "view:zoom", "owner:pick",
                                               "app:rotate"};
    EXPECT_EQ(g_log, expected);
    EXPECT_FALSE(m_dlg.OnCmdMsg(4711, CN_COMMAND, nullptr, nullptr));
}

TEST_F(CommandRouting, EditChangeAndMenuCommandWithTheSameIdStayApart) {
    qobject_cast<QLineEdit*>(widgetOf(m_dlg.GetDlgItem(IDC_EDIT_MAX)))->setText("3");
    EXPECT_EQ(g_log, std::vector<std::string>{"dialog:max-change"});
    g_log.clear();
    menuItem(m_dlg, "Normal")->trigger();
    EXPECT_EQ(g_log, std::vector<std::string>{"view:normal"});
    g_log.clear();
    // Notifications other than commands stay with the dialog.
    qobject_cast<QLineEdit*>(widgetOf(m_dlg.GetDlgItem(IDC_EDIT_MIN)))->setText("3");
    EXPECT_TRUE(g_log.empty());
}

TEST_F(CommandRouting, ButtonClickAndOnCommandReachTheDialogTable) {
    QTest::mouseClick(widgetOf(m_dlg.GetDlgItem(IDC_UPDATE)), Qt::LeftButton);
    EXPECT_TRUE(m_dlg.OnCommand(MAKEWPARAM(IDC_UPDATE, BN_CLICKED), 0));
    EXPECT_EQ(g_log, (std::vector<std::string>{"dialog:update", "dialog:update"}));
    AFX_CMDHANDLERINFO info{nullptr, nullptr};
    EXPECT_TRUE(m_dlg.OnCmdMsg(ID_VIEW_NORMAL, CN_COMMAND, nullptr, &info));
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

TEST(CommandRoutingWithoutWindow, FailsCleanly) {
    CWnd wnd;
    EXPECT_FALSE(wnd.OnCommand(MAKEWPARAM(1, 0), 0));
    EXPECT_FALSE(wnd.ShowWindow(SW_SHOW));
    EXPECT_FALSE(wnd.IsWindowVisible());
    EXPECT_FALSE(wnd.SetForegroundWindow());
    EXPECT_FALSE(wnd.DestroyWindow());
    EXPECT_FALSE(wnd.IsDialogMessage(nullptr));
}

} // namespace
