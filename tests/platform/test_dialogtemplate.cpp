#include "platformtest.h"

#include <QLabel>
#include <QMenuBar>

#include <gtest/gtest.h>

namespace {

std::vector<CWndBridge*> controlsOf(CWnd& dlg) {
    std::vector<CWndBridge*> v;
    for (QObject* o : widgetOf(dlg)->children()) {
        if (CWndBridge* b =
                o->isWidgetType() ? afxqt::_afxBridge(static_cast<QWidget*>(o)) : nullptr)
            v.push_back(b);
    }
    return v;
}

} // namespace

TEST(DialogUnits, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(MulDiv(7, 6, 4), 11);     // 10.5
    EXPECT_EQ(MulDiv(179, 13, 8), 291); // 290.875
    EXPECT_EQ(MulDiv(10, 13, 8), 16);   // 16.25
    EXPECT_EQ(MulDiv(-3, 6, 4), -5);    // -4.5
    EXPECT_EQ(MulDiv(3, 6, -4), -5);
    EXPECT_EQ(MulDiv(5, 1, 0), -1);
}

class DialogTemplates : public testing::TestWithParam<int> {};

TEST_P(DialogTemplates, ControlsInTemplateOrderAtTheirPixelRectanglesBelowTheMenuBar) {
    const CDlgTemplateqv* t = AfxFindDialogTemplate(nullptr, GetParam());
    ASSERT_NE(t, nullptr);
    CDialog dlg;
    ASSERT_TRUE(dlg.Create(static_cast<UINT>(GetParam())));
    EXPECT_EQ(frameOf(&dlg)->windowTitle().toStdString(), t->pszTitle);

    CRect rcClient;
    dlg.GetClientRect(&rcClient);
    EXPECT_EQ(rcClient, CRect(0, 0, 551, 501));
    // The menu bar stands above the client area; its items are found by the routing tests.
    auto* bar = frameOf(&dlg)->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->actions().size(), 1);
    EXPECT_EQ(bar->actions()[0]->text(), "View Mode");
    EXPECT_EQ(widgetOf(dlg)->y(), bar->height());
    EXPECT_EQ(frameOf(&dlg)->height(), 501 + bar->height());

    const std::vector<CWndBridge*> controls = controlsOf(dlg);
    ASSERT_EQ(static_cast<int>(controls.size()), t->nItems);
    for (int i = 0; i < t->nItems; ++i) {
        const CDlgItemTemplateqv& item = t->pItems[i];
        SCOPED_TRACE(testing::Message() << "item " << i << " id " << item.nId);
        const QRect expected(MulDiv(item.x, 6, 4), MulDiv(item.y, 13, 8), MulDiv(item.cx, 6, 4),
                             MulDiv(item.cy, 13, 8));
        EXPECT_EQ(controls[i]->widget()->geometry(), expected);
        EXPECT_EQ(controls[i]->m_nId, item.nId);
        EXPECT_EQ(controls[i]->m_strClass.toStdString(), item.pszClass);
        if (item.nId > 0) {
            EXPECT_EQ(dlg.GetDlgItem(item.nId), controls[i]->m_pWnd);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, DialogTemplates,
                         testing::Values(IDD_CONTMAP3D_TIMEDOMAIN, IDD_CONTMAP3D_FREQUENCY,
                                         IDD_CONTMAP3D_MODELING, IDD_CONTMAP3D_SPECTRAL));

TEST(DialogTemplate, TabWalksTheTabStopsInTemplateOrderAndWraps) {
    CDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_CONTMAP3D_TIMEDOMAIN));
    dlg.ShowWindow(SW_SHOW);
    ASSERT_TRUE(QTest::qWaitForWindowActive(frameOf(&dlg)));
    EXPECT_EQ(CWnd::GetFocus(), dlg.GetDlgItem(IDOK));

    // Every tab stop in template order but a greyed-out one, then round to OK again.
    dlg.GetDlgItem(IDC_EDIT_MAX)->EnableWindow(FALSE);
    const CDlgTemplateqv* t = AfxFindDialogTemplate(nullptr, IDD_CONTMAP3D_TIMEDOMAIN);
    std::vector<int> forward;
    for (int i = 0; i < t->nItems; ++i)
        if ((t->pItems[i].dwStyle & WS_TABSTOP) != 0 && t->pItems[i].nId != IDOK &&
            t->pItems[i].nId != IDC_EDIT_MAX)
            forward.push_back(t->pItems[i].nId);
    forward.push_back(IDOK);
    ASSERT_EQ(forward.size(), 10u);
    for (int nId : forward) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(CWnd::GetFocus(), dlg.GetDlgItem(nId)) << "expected " << nId;
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(CWnd::GetFocus(), dlg.GetDlgItem(IDC_MARK_SELECTION));
    // Arrows move between controls, but stay inside an edit.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    EXPECT_EQ(CWnd::GetFocus(), dlg.GetDlgItem(IDC_CONTOUR_ACT));
    dlg.GetDlgItem(IDC_EDIT_MIN)->SetFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(CWnd::GetFocus(), dlg.GetDlgItem(IDC_EDIT_MIN));
}

// The map has its client edge outside its client area. It is transparent to the mouse, which the
// capture test and the dialogs' drags see reach the dialog; the kinds of the other controls and OK
// as the default button are met by the dialogs' tests.
TEST(DialogTemplate, ChildWindowFromPointUsesGeometryEvenForTransparentStatics) {
    CDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_CONTMAP3D_TIMEDOMAIN));
    CWnd* pMap = dlg.GetDlgItem(IDC_MAP_TIMEDOMAIN);
    auto* label = qobject_cast<QLabel*>(widgetOf(*pMap));
    ASSERT_NE(label, nullptr);
    CRect rc;
    pMap->GetClientRect(&rc);
    EXPECT_EQ(rc.Size(), CSize(label->width() - 2 * label->frameWidth(),
                               label->height() - 2 * label->frameWidth()));
    const QRect map = label->geometry();
    EXPECT_EQ(dlg.ChildWindowFromPoint(CPoint(map.x(), map.y())), pMap);
    EXPECT_EQ(dlg.ChildWindowFromPoint(CPoint(map.x() - 1, map.y())), &dlg);
    EXPECT_EQ(dlg.ChildWindowFromPoint(CPoint(-1, 5)), nullptr);
    EXPECT_EQ(dlg.ChildWindowFromPoint(CPoint(551, 5)), nullptr);
    CWnd unattached;
    EXPECT_EQ(unattached.ChildWindowFromPoint(CPoint(1, 1)), nullptr);
}
