// Facades, dialogs, views and viewports made and unmade many times over, the way a host session
// goes. Under the sanitizer build LeakSanitizer checks at exit that nothing of them is left.

#include "dialogtestsupport.h"

#include <QApplication>

namespace {

TEST_F(MapViewTest, ManyHostSessionsLeaveNoWindowOrViewportBehind) {
    // Sensor 0 lies at the centre of the others, so under the view's centre.
    auto pFirst = makeTestRecording({at(0, 0, 0, 1.0), at(40, 0, 0, -2.0), at(-40, 0, 0, 3.0)});
    auto pSecond = makeTestRecording({at(0, 0, 10, 5.0), at(-40, 0, 0, 2.0)});
    pump();
    const int nWindowsBefore = QApplication::topLevelWidgets().size();
    windowCalls().clear();
    for (int nSession = 0; nSession < 12; ++nSession) {
        C3DRendDlgFaceqv face;
        face.show3DContMapTimeDomain(pFirst.get(), recordHostCall, nullptr);
        face.show3DContMapFrqc(pFirst.get(), nullptr);
        face.show3DContMapSpctm(pFirst.get(), nullptr);
        face.show3DContMapModeling();
        face.setMslMEGData(pFirst.get());
        pump();

        CDlgContMap3DTimedomain& time = *face.m_pDlgTimeDomain;
        CStaticContMap& view = time.m_staticContMap;
        drag(time, inDialog(view, CPoint(60, 60)), inDialog(view, CPoint(90, 80)));
        choose(time, "Pick Sensor");
        press(time, inDialog(view, clientCentre(view)));
        release(time, inDialog(view, clientCentre(view)));
        choose(time, "Rotate");

        // Hidden with OK (viewport released) and with Esc (kept), then shown with another
        // recording and callback.
        click(time, IDOK);
        QTest::keyClick(windowOf(*face.m_pDlgFrqc), Qt::Key_Escape);
        EXPECT_EQ(face.updateContourMap(), 0);
        face.show3DContMapTimeDomain(
            pSecond.get(), [](int, int) { return 0; }, nullptr);
        face.show3DContMapFrqc(pSecond.get(), nullptr);
        pump();
        EXPECT_EQ(face.updateContourMap(), 1);
        EXPECT_NE(face.updateContourMapFrqc(), 0);
        pump();
    }
    pump();
    EXPECT_EQ(QApplication::topLevelWidgets().size(), nWindowsBefore);
    EXPECT_GE(windowCalls().nContextsMade, 12 * 4);
    EXPECT_EQ(windowCalls().nContextsKilled, windowCalls().nContextsMade);
    EXPECT_GE(hostCalls().size(), 12u);
    EXPECT_TRUE(recordedMessages().empty());
}

} // namespace
