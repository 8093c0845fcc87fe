#include "dialogtestsupport.h"

#include "dlgcontmap3dmodeling.h"

namespace {

class ModelingDialog : public MapViewTest {
protected:
    CDlgContmap3DModeling& open() {
        m_face.show3DContMapModeling();
        pump();
        return *m_face.m_pDlgModeling;
    }
};

const int kBoxes[] = {IDC_AUTOFIT_COLOR, IDC_AUTOFIT_PLACE, IDC_SENSORS,       IDC_SENSOR_ACT,
                      IDC_CONTOURMAP,    IDC_CONTOUR_ACT,   IDC_MARK_SELECTION};

// Its template's controls are checked with the templates; here, that the dialog is made from it,
// that its controls change only themselves, and that a second show brings back the same window.
TEST_F(ModelingDialog, HasTheTimeDomainControlsThatChangeOnlyThemselvesAndNoMap) {
    CDlgContmap3DModeling& modeling = open();
    EXPECT_TRUE(modeling.IsWindowVisible());
    EXPECT_EQ(modeling.GetWindowText(), "Modeling 3D Contour Map");
    EXPECT_EQ(windowCalls().nContextsMade, 0);
    EXPECT_TRUE(windowCalls().texts.empty());
    for (int nId : kBoxes) {
        EXPECT_FALSE(box(modeling, nId)->isChecked()) << nId;
        click(modeling, nId);
        EXPECT_TRUE(box(modeling, nId)->isChecked()) << nId;
    }
    click(modeling, IDC_UPDATE);
    pump();
    EXPECT_TRUE(recordedMessages().empty());
    EXPECT_TRUE(edit(modeling, IDC_EDIT_MIN)->text().isEmpty());
    EXPECT_TRUE(edit(modeling, IDC_EDIT_MAX)->text().isEmpty());
    for (int nId : kBoxes)
        EXPECT_TRUE(box(modeling, nId)->isChecked()) << nId;

    openTimeDomain({at(0, 0, 0, 1.0)});
    for (int nId : {int(IDOK), IDC_MAP_TIMEDOMAIN, IDC_EDIT_MIN, IDC_EDIT_MAX, IDC_UPDATE}) {
        ASSERT_NE(modeling.GetDlgItem(nId), nullptr) << nId;
        // The map too keeps its template rectangle until the user resizes the dialog.
        EXPECT_EQ(widgetOf(*modeling.GetDlgItem(nId))->geometry(),
                  widgetOf(*m_face.m_pDlgTimeDomain->GetDlgItem(nId))->geometry())
            << nId;
    }

    QTest::keyClick(windowOf(modeling), Qt::Key_Escape);
    ASSERT_FALSE(modeling.IsWindowVisible());
    EXPECT_EQ(&open(), &modeling);
    EXPECT_TRUE(modeling.IsWindowVisible());
}

} // namespace
