#include "dialogtestsupport.h"

namespace {

// What differs between the frequency and the spectral dialog.
struct FrequencyDialog {
    using Dialog = CDlg3DContourMapFrq;
    static Dialog* show(C3DRendDlgFaceqv& face, CMEGDataqv* pData) {
        face.show3DContMapFrqc(pData, nullptr);
        return face.m_pDlgFrqc;
    }
    // The element of each channel's spectral array the range check reads.
    static constexpr int nElement = nTestSelectedBin;
};

struct SpectralDialog {
    using Dialog = CDlg3DContourmapSpctm;
    static Dialog* show(C3DRendDlgFaceqv& face, CMEGDataqv* pData) {
        face.show3DContMapSpctm(pData, nullptr);
        return face.m_pDlgSpctm;
    }
    static constexpr int nElement = (nTestSelectedRow - 1) * 4 + (nTestSelectedColumn - 1);
};

template <class T> class SpectralMapDialog : public MapViewTest {
protected:
    void SetUp() override {
        MapViewTest::SetUp();
        m_pData = makeTestRecording({at(-20, 0, 0, 2.0), at(0, 0, 0, 3.0), at(20, 0, 0, 4.0)});
        reopen();
        windowCalls().clear();
    }
    void reopen() {
        m_pDlg = T::show(m_face, m_pData.get());
        pump();
    }
    typename T::Dialog& dlg() { return *m_pDlg; }
    auto& view() { return m_pDlg->m_staticContMap; }
    CShow3DCntMapqv& map() { return view().m_Show3DCntMap; }

    typename T::Dialog* m_pDlg = nullptr;
};

using Kinds = testing::Types<FrequencyDialog, SpectralDialog>;
TYPED_TEST_SUITE(SpectralMapDialog, Kinds);

TYPED_TEST(SpectralMapDialog, AutofitFitsTheSpectralValuesAndControlsApplyByTheNumberRule) {
    auto& dlg = this->dlg();
    CShow3DCntMapqv& map = this->map();
    const double dFittedMin = (2.0 + TypeParam::nElement) * 0.5;
    EXPECT_DOUBLE_EQ(map.m_dColorMax, (4.0 + TypeParam::nElement) * 0.5);
    EXPECT_DOUBLE_EQ(map.m_dColorMin, dFittedMin);
    EXPECT_EQ(edit(dlg, IDC_EDIT_MAX)->text().toDouble(), map.m_dColorMax);

    click(dlg, IDC_AUTOFIT_COLOR);
    EXPECT_EQ(map.m_bAutofitColor, 0);
    retype(dlg, IDC_EDIT_MAX, "7");
    EXPECT_DOUBLE_EQ(map.m_dColorMax, 7.0);
    pump();
    EXPECT_GE(paints(), 1);

    // Min is exchanged first here, so every other control keeps its member on a failure.
    tickSilently(dlg, IDC_SENSORS, false);
    tickSilently(dlg, IDC_AUTOFIT_PLACE, false);
    setTextSilently(dlg, IDC_EDIT_MAX, "9");
    retype(dlg, IDC_EDIT_MIN, "-");
    EXPECT_EQ(recordedMessages(), std::vector<std::string>{kNumberPrompt});
    EXPECT_EQ(map.m_bSensors, 1);
    EXPECT_EQ(map.m_bAutofitPlace, 1);
    EXPECT_DOUBLE_EQ(map.m_dColorMax, 7.0);
    EXPECT_DOUBLE_EQ(map.m_dColorMin, dFittedMin);

    QTest::keyClick(edit(dlg, IDC_EDIT_MIN), Qt::Key_End);
    QTest::keyClicks(edit(dlg, IDC_EDIT_MIN), "1");
    EXPECT_DOUBLE_EQ(map.m_dColorMin, -1.0);
    EXPECT_DOUBLE_EQ(map.m_dColorMax, 9.0);
    EXPECT_EQ(map.m_bSensors, 0);
    EXPECT_EQ(map.m_bAutofitPlace, 0);

    // Autofit back on through Update refits to the spectral values, not the samples (min 1.0).
    tickSilently(dlg, IDC_AUTOFIT_COLOR, true);
    click(dlg, IDC_UPDATE);
    EXPECT_DOUBLE_EQ(map.m_dColorMin, dFittedMin);
}

TYPED_TEST(SpectralMapDialog, OkHidesButKeepsTheViewportAndCamera) {
    CGL4dqv* pGL4d = this->view().m_pGL4d;
    ASSERT_NE(pGL4d, nullptr);
    pGL4d->setRotateValue(30.0, 40.0, 0.0);
    QTest::mouseClick(widgetOf(*this->dlg().GetDlgItem(IDOK)), Qt::LeftButton);
    EXPECT_FALSE(this->dlg().IsWindowVisible());
    EXPECT_EQ(windowCalls().nContextsKilled, 0);
    this->reopen();
    EXPECT_TRUE(this->dlg().IsWindowVisible());
    ASSERT_EQ(this->view().m_pGL4d, pGL4d);
    EXPECT_DOUBLE_EQ(rotationOf(*pGL4d).y, 40.0);
}

} // namespace
