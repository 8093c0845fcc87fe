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
} kControls[] = {{1, "OK"},
                 {2001, ""},
                 {2003, "Autofit Color"},
                 {2004, ""},
                 {2005, ""},
                 {2006, "Update"},
                 {2008, "Autofit  Place"},
                 {2010, "Sensors"},
                 {2011, "Sensor Act"},
                 {2012, "Contourmap"},
                 {2013, "Contour Act"},
                 {2014, "Mark Selection"}};

const int kBoxes[] = {2003, 2008, 2010, 2011, 2012, 2013, 2014};

TEST_F(ModelingDialog, OpensWithTheTimeDomainControlsEmptyUntickedAndNoMap) {
    CDlgContmap3DModeling& modeling = open();
    EXPECT_TRUE(modeling.IsWindowVisible());
    EXPECT_EQ(windowCalls().nContextsMade, 0);
    EXPECT_TRUE(windowCalls().texts.empty());
    EXPECT_TRUE(qobject_cast<QLabel*>(widgetOf(*modeling.GetDlgItem(2001))) != nullptr);
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
        if (c.nId != 2004 && c.nId != 2005) { // the time-domain edits hold the range
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
    click(modeling, 2006);
    pump();
    EXPECT_TRUE(recordedMessages().empty());
    EXPECT_TRUE(modeling.IsWindowVisible());
    EXPECT_TRUE(edit(modeling, 2004)->text().isEmpty());
    EXPECT_TRUE(edit(modeling, 2005)->text().isEmpty());
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
