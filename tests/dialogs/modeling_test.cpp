#include "dialogtestsupport.h"

#include "dlgcontmap3dmodeling.h"

#include <QLabel>

namespace {

class ModelingDialog : public MapViewTest {
protected:
    CDlgContmap3DModeling& open() {
        m_face.show3DContMapModeling();
        pump();
        return *m_face.m_pDlgModeling;
    }
};

const struct {
    int nId;
    const char* pszText;
} kControls[] = {{IDOK, "OK"},
                 {IDC_MAP_TIMEDOMAIN, ""},
                 {IDC_AUTOFIT_COLOR, "Autofit Color"},
                 {IDC_EDIT_MIN, ""},
                 {IDC_EDIT_MAX, ""},
                 {IDC_UPDATE, "Update"},
                 {IDC_AUTOFIT_PLACE, "Autofit  Place"},
                 {IDC_SENSORS, "Sensors"},
                 {IDC_SENSOR_ACT, "Sensor Act"},
                 {IDC_CONTOURMAP, "Contourmap"},
                 {IDC_CONTOUR_ACT, "Contour Act"},
                 {IDC_MARK_SELECTION, "Mark Selection"}};

const int kBoxes[] = {IDC_AUTOFIT_COLOR, IDC_AUTOFIT_PLACE, IDC_SENSORS,       IDC_SENSOR_ACT,
                      IDC_CONTOURMAP,    IDC_CONTOUR_ACT,   IDC_MARK_SELECTION};

TEST_F(ModelingDialog, OpensWithTheTimeDomainControlsEmptyUntickedAndNoMap) {
    CDlgContmap3DModeling& modeling = open();
    EXPECT_TRUE(modeling.IsWindowVisible());
    EXPECT_EQ(windowCalls().nContextsMade, 0);
    EXPECT_TRUE(windowCalls().texts.empty());
    EXPECT_TRUE(qobject_cast<QLabel*>(widgetOf(*modeling.GetDlgItem(IDC_MAP_TIMEDOMAIN))) !=
                nullptr);
    for (int nId : kBoxes)
        EXPECT_FALSE(box(modeling, nId)->isChecked()) << nId;

    openTimeDomain({at(0, 0, 0, 1.0)});
    const CDlgContMap3DTimedomain& timeDomain = *m_face.m_pDlgTimeDomain;
    for (const auto& c : kControls) {
        SCOPED_TRACE(c.nId);
        CWnd* pOurs = modeling.GetDlgItem(c.nId);
        CWnd* pTheirs = timeDomain.GetDlgItem(c.nId);
        ASSERT_NE(pOurs, nullptr);
        ASSERT_NE(pTheirs, nullptr);
        EXPECT_EQ(pOurs->GetWindowText(), c.pszText);
        // The time-domain edits hold the range.
        if (c.nId != IDC_EDIT_MIN && c.nId != IDC_EDIT_MAX) {
            EXPECT_EQ(pTheirs->GetWindowText(), c.pszText);
        }
        // The map too keeps its template rectangle until the user resizes the dialog.
        EXPECT_EQ(widgetOf(*pOurs)->geometry(), widgetOf(*pTheirs)->geometry()) << c.nId;
    }
}

TEST_F(ModelingDialog, ItsControlsChangeOnlyThemselves) {
    CDlgContmap3DModeling& modeling = open();
    for (int nId : kBoxes) {
        click(modeling, nId);
        EXPECT_TRUE(box(modeling, nId)->isChecked()) << nId;
    }
    click(modeling, IDC_UPDATE);
    pump();
    EXPECT_TRUE(recordedMessages().empty());
    EXPECT_TRUE(modeling.IsWindowVisible());
    EXPECT_TRUE(edit(modeling, IDC_EDIT_MIN)->text().isEmpty());
    EXPECT_TRUE(edit(modeling, IDC_EDIT_MAX)->text().isEmpty());
    for (int nId : kBoxes)
        EXPECT_TRUE(box(modeling, nId)->isChecked()) << nId;
}

TEST_F(ModelingDialog, ASecondShowBringsBackTheSameWindow) {
    CDlgContmap3DModeling* pFirst = &open();
    QTest::keyClick(windowOf(*pFirst), Qt::Key_Escape);
    ASSERT_FALSE(pFirst->IsWindowVisible());
    EXPECT_EQ(&open(), pFirst);
    EXPECT_TRUE(pFirst->IsWindowVisible());
}

} // namespace
