#include "platformtest.h"

#include <QLineEdit>

#include <cmath>

#include <gtest/gtest.h>

namespace {

TEST(NumberRule, AcceptsOnlyDecimalNumbersWithTheZeroRule) {
    const struct {
        const char* pszText;
        bool bAccepted;
        double dValue;
    } cases[] = {{"0", true, 0.0},      {"1.5", true, 1.5},        {" -2e3 ", true, -2000.0},
                 {"0.0", true, 0.0},    {"\t7\t", true, 7.0},      {"1.", true, 1.0},
                 {"+.5E+1", true, 5.0}, {"1e999", true, HUGE_VAL}, {"", false, 0},
                 {"-", false, 0},       {"+0", false, 0},          {"1.5x", false, 0},
                 {"   ", false, 0},     {"1e", false, 0},          {"1 2", false, 0},
                 {"0x10", false, 0},    {"inf", false, 0},         {"1e-999", false, 0}};
    for (const auto& c : cases) {
        double d = 12345.0;
        EXPECT_EQ(AfxParseNumberText(c.pszText, d), c.bAccepted ? TRUE : FALSE) << c.pszText;
        EXPECT_DOUBLE_EQ(d, c.bAccepted ? c.dValue : 12345.0) << c.pszText;
    }
}

// Bindings in the order of the time-domain dialog's exchange.
class CExchangeDialog : public CDialog {
public:
    int m_bAutofitColor = 0;
    float m_fMax = 0.0f;
    float m_fMin = 0.0f;
    int m_bContourAct = 0;
    int m_nApplies = 0;

    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Check(pDX, IDC_AUTOFIT_COLOR, m_bAutofitColor);
        DDX_Text(pDX, IDC_EDIT_MAX, m_fMax);
        DDX_Text(pDX, IDC_EDIT_MIN, m_fMin);
        DDX_Check(pDX, IDC_CONTOUR_ACT, m_bContourAct);
    }
    void OnApply() { ++m_nApplies; }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CExchangeDialog, CDialog)
ON_EN_CHANGE(IDC_EDIT_MIN, &CExchangeDialog::OnApply)
ON_EN_CHANGE(IDC_EDIT_MAX, &CExchangeDialog::OnApply)
END_MESSAGE_MAP()

QLineEdit* edit(CWnd& dlg, int nId) {
    return qobject_cast<QLineEdit*>(widgetOf(*dlg.GetDlgItem(nId)));
}

// What the boxes show after a load, the prompt and the members a failed save leaves are seen by
// the dialogs' tests; here, what the user sees happen in the edit.
TEST(DataExchange, LoadingIsSilentAFailedNumberSelectsTheEditsTextAndNoWindowFailsCleanly) {
    CExchangeDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_CONTMAP3D_TIMEDOMAIN));
    dlg.m_fMin = -0.000123456f;
    EXPECT_TRUE(dlg.UpdateData(FALSE));
    EXPECT_EQ(edit(dlg, IDC_EDIT_MIN)->text(), "-0.000123456");
    EXPECT_EQ(dlg.m_nApplies, 0);
    dlg.ShowWindow(SW_SHOW);
    ASSERT_TRUE(QTest::qWaitForWindowActive(frameOf(&dlg)));
    edit(dlg, IDC_EDIT_MIN)->setFocus();
    QTest::keyClicks(edit(dlg, IDC_EDIT_MIN), "12");
    EXPECT_EQ(dlg.m_nApplies, 2) << "each key notifies";
    EXPECT_EQ(edit(dlg, IDC_EDIT_MIN)->text(), "12-0.000123456") << "the caret was at the start";

    edit(dlg, IDC_EDIT_MAX)->setText("-");
    EXPECT_FALSE(dlg.UpdateData(TRUE));
    EXPECT_EQ(QApplication::focusWidget(), edit(dlg, IDC_EDIT_MAX));
    EXPECT_EQ(edit(dlg, IDC_EDIT_MAX)->selectedText(), "-");

    // Without a window the exchange fails and leaves the member.
    CExchangeDialog unattached;
    EXPECT_FALSE(unattached.UpdateData(TRUE));
    CDataExchange dx(nullptr, TRUE);
    int n = 5;
    DDX_Check(&dx, IDC_AUTOFIT_COLOR, n);
    EXPECT_TRUE(dx.m_bFailed);
    EXPECT_EQ(n, 5);
    DDX_Check(nullptr, IDC_AUTOFIT_COLOR, n);
}

} // namespace
