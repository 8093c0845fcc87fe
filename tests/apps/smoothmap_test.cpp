// The demo's smooth field map window, driven in-process under the offscreen platform with real
// mouse events on its picture.

#include "demotestsupport.h"
#include "smoothmapwindow.h"

#include "dlgcontmap3dtimedomain.h"
#include "gl4dobserver.h"
#include "gl4dqv.h"
#include "mdchannel.h"
#include "mdtrial.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Press at from, four moves with the button held to to (QTest's mouseMove carries no buttons),
// release at to.
void drag(QWidget* pWidget, Qt::MouseButton nButton, QPoint from, QPoint to,
          Qt::KeyboardModifiers nModifiers = Qt::NoModifier) {
    QTest::mousePress(pWidget, nButton, nModifiers, from);
    for (int k = 1; k <= 4; ++k) {
        const QPointF pt(from + (to - from) * k / 4);
        QMouseEvent move(QEvent::MouseMove, pt, pWidget->mapToGlobal(pt), Qt::NoButton, nButton,
                         nModifiers);
        QApplication::sendEvent(pWidget, &move);
    }
    QTest::mouseRelease(pWidget, nButton, nModifiers, to);
}

// Where a viewport has turned to and how far its camera stands from the head.
std::vector<double> cameraOf(CGL4dqv& viewport) {
    double rx = 0.0, ry = 0.0, rz = 0.0, x = 0.0, y = 0.0, z = 0.0;
    viewport.getRotate(rx, ry, rz);
    viewport.getTranslate(x, y, z);
    return {rx, ry, rz, -z};
}

class SmoothMapWindow : public ShownDemoWindow {
protected:
    SmoothMapWindow() : ShownDemoWindow(60) {}

    // Opens the window as the user does, through the Maps menu's action.
    CSmoothMapWindow* open() {
        m_window.getMapAction(CDemoWindow::mapSmooth)->trigger();
        pump();
        return dynamic_cast<CSmoothMapWindow*>(m_window.getMapWindow(CDemoWindow::mapSmooth));
    }
    CMDTrialqv& trial() { return *m_window.getRecording()->getTrialqv(-1); }
    CColorBarPanel& bars() { return *m_window.getColorBars(); }
    const CColorScale& bar() { return bars().getScale(CColorBarPanel::barSmooth); }
};

TEST_F(SmoothMapWindow, OpensOnTheContinuousScaleWithItsBarAndFollowsTheSelections) {
    CSmoothMapWindow* pSmooth = open();
    ASSERT_NE(pSmooth, nullptr);
    ASSERT_TRUE(pSmooth->isVisible());
    const CSmoothFieldMap& smooth = pSmooth->getSmoothMap();
    const CShow3DCntMapqv& renderer = pSmooth->getRenderer();

    // It opens on the continuous scale; each isoline's level is marked at the bar's edge, the
    // bar's own colour beside the mark.
    EXPECT_EQ(pSmooth->getColorBox()->currentIndex(), 1);
    ASSERT_TRUE(bars().hasBar(CColorBarPanel::barSmooth));
    ASSERT_TRUE(bar().isContinuous());
    expectBarTopPainted(bars(), CColorBarPanel::barSmooth);
    const QImage image = bars().grab().toImage();
    const QRect rect = bars().barRect(CColorBarPanel::barSmooth);
    ASSERT_EQ(bar().levels(), smooth.getIsolineLevels());
    ASSERT_FALSE(bar().levels().empty());
    for (double dLevel : bar().levels()) {
        const int nRow =
            rect.top() + static_cast<int>(std::lround(bar().rowOf(dLevel, rect.height())));
        EXPECT_LT(image.pixelColor(rect.right(), nRow).lightness(), 60) << dLevel;
        EXPECT_GT(image.pixelColor(rect.left(), nRow).lightness(), 60) << dLevel;
    }
    const QImage continuous = pSmooth->getPicture()->grab().toImage();
    const double dPeakLimit = bar().colorMax();

    // Before the stimulus there is only noise: values and bar follow at once; the thresholds
    // mode draws the picture in the renderer's colours.
    ASSERT_TRUE(m_window.selectSample(10));
    EXPECT_LT(bar().colorMax(), 0.8 * dPeakLimit);
    pSmooth->getColorBox()->setCurrentIndex(0);
    pump();
    ASSERT_TRUE(m_window.selectSample(300));
    EXPECT_NE(pSmooth->getPicture()->grab().toImage(), continuous);

    // The frequency map: its own range check, unit and selection; other kinds' changes leave
    // it alone, not even repainted.
    pSmooth->getKindBox()->setCurrentIndex(1);
    pump();
    EXPECT_EQ(bars().getUnit(CColorBarPanel::barSmooth), "fT (spectrum)");
    const double dAlphaMax = bar().dataMax();
    const std::vector<double> aAlpha = smooth.getSensorValues();
    CPaintCounter paints;
    pSmooth->getPicture()->installEventFilter(&paints);
    ASSERT_TRUE(m_window.selectSample(10));
    pump();
    EXPECT_EQ(paints.m_nPaints, 0);
    EXPECT_EQ(smooth.getSensorValues(), aAlpha);
    ASSERT_TRUE(m_window.selectFreqBin(60));
    pump();
    EXPECT_GT(paints.m_nPaints, 0);
    EXPECT_NE(smooth.getSensorValues(), aAlpha);
    EXPECT_TRUE(sameRange(bar(), renderer));
    EXPECT_LT(bar().dataMax(), 0.5 * dAlphaMax) << "60 Hz holds only noise";
}

// The same drags over the time-domain map dialog and the smooth map move both cameras alike:
// left turns (down about x, right about y), a zoom drag up moves the camera away.
TEST_F(SmoothMapWindow, DragsTurnAndZoomAsInTheMapDialog) {
    m_window.getMapAction(CDemoWindow::mapTime)->trigger();
    CSmoothMapWindow* pSmooth = open();
    ASSERT_NE(pSmooth, nullptr);
    CSmoothMapPicture* pPicture = pSmooth->getPicture();
    CGL4dqv* pViewport = pPicture->getViewport();
    CStaticContMap& view = m_window.getFace().m_pDlgTimeDomain->m_staticContMap;
    ASSERT_TRUE(pViewport && view.m_pGL4d);
    // The dialog takes the mouse over its map, in steps as the picture does.
    QWidget* pView = widgetOf(view);
    QWidget* pDialog = widgetOf(*view.GetParent());
    const auto both = [&](QPoint from, QPoint to, Qt::MouseButton nButton,
                          Qt::KeyboardModifiers nModifiers) {
        drag(pDialog, Qt::LeftButton, pView->mapTo(pDialog, from), pView->mapTo(pDialog, to));
        drag(pPicture, nButton, from, to, nModifiers);
        EXPECT_EQ(cameraOf(*pViewport), cameraOf(*view.m_pGL4d));
        return cameraOf(*pViewport);
    };
    EXPECT_EQ(cameraOf(*pViewport), cameraOf(*view.m_pGL4d)) << "the dialog's start view";

    testing::internal::CaptureStdout();
    const std::vector<double> turned = both({100, 100}, {136, 172}, Qt::LeftButton, {});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "a drag is no pick";
    menuItem(view, "Zoom")->trigger();
    ASSERT_EQ(view.m_nViewMode, 2);
    const std::vector<double> away = both({150, 300}, {150, 240}, Qt::RightButton, {});
    EXPECT_GT(away[3], turned[3]);
    EXPECT_LT(both({150, 200}, {160, 280}, Qt::LeftButton, Qt::ShiftModifier)[3], away[3]);

    // The wheel turned away from the user brings the head nearer. The drags turned the head
    // 20 degrees down and 10 right (36 and 72 pixels, as in the dialog); zooming turned nothing.
    const double dBefore = cameraOf(*pViewport)[3];
    QWheelEvent wheel(QPointF(150, 150), pPicture->mapToGlobal(QPointF(150, 150)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(pPicture, &wheel);
    EXPECT_DOUBLE_EQ(cameraOf(*pViewport)[3], dBefore - CSmoothMapPicture::nWheelStepMm);
    EXPECT_EQ(pPicture->overlayLines(), QStringList({"Rotation: 20 10 0 ", "Distance: 705"}));

    // A bigger window keeps the camera and fills the picture.
    pSmooth->resize(pSmooth->width() + 150, pSmooth->height() + 100);
    pump();
    const QImage image = pPicture->grab().toImage();
    EXPECT_EQ(pPicture->overlayLines()[0], "Rotation: 20 10 0 ");
    const QRect head =
        boundsOf(image.copy(0, image.height() / 2, image.width(), 1), Qt::black, Qt::MaskOutColor);
    EXPECT_LT(std::abs(head.center().x() - image.width() / 2), image.width() / 20)
        << "the head stays in the middle of the resized picture: " << head.left() << ".."
        << head.right();
}

TEST_F(SmoothMapWindow, AClickOnASensorPicksItAndBesideTheHeadNothing) {
    CSmoothMapWindow* pSmooth = open();
    ASSERT_NE(pSmooth, nullptr);
    CSmoothMapPicture* pPicture = pSmooth->getPicture();
    const QPoint centre = pPicture->rect().center();
    int nPicked = 0;
    for (int dx : {0, -40, 40}) {
        // The map's own pick (checked against the sensors' places in the field map's tests)
        // names the sensor under the point in the frame on screen.
        const QPoint pt = centre + QPoint(dx, dx / 2);
        const int nSlot = pSmooth->getSmoothMap().pickSensorInLastFrame(pt.x(), pt.y());
        ASSERT_GE(nSlot, 0);
        if (nSlot == trial().getCurntChnlIndx())
            continue;
        const std::string strName =
            QString::fromStdWString(trial().getAllChannelPt()[nSlot]->m_strChnlName).toStdString();
        testing::internal::CaptureStdout();
        // A press and a release a pixel apart is still a click.
        QTest::mousePress(pPicture, Qt::LeftButton, {}, pt);
        QTest::mouseRelease(pPicture, Qt::LeftButton, {}, pt + QPoint(1, 0));
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "picked channel " + std::to_string(nSlot) + " " + strName + "\n");
        EXPECT_EQ(trial().getCurntChnlIndx(), nSlot);
        ++nPicked;
    }
    EXPECT_GE(nPicked, 2);

    // Beside the head: no pick, nothing changes.
    const QString strStatus = m_window.statusBar()->currentMessage();
    testing::internal::CaptureStdout();
    QTest::mouseClick(pPicture, Qt::LeftButton, {}, QPoint(3, pPicture->height() - 3));
    // A right click on a sensor zooms by nothing and picks nothing.
    QTest::mouseClick(pPicture, Qt::RightButton, {}, centre);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(m_window.statusBar()->currentMessage(), strStatus);
}

SGL4dObserver s_refuseContexts;

TEST_F(SmoothMapWindow, NoContextOrTooFewSensorsIsSaidInThePictureAndNothingBreaks) {
    s_refuseContexts.pfnContextWanted = [] { return 0; };
    const SGL4dObserver* pBefore = setGL4dObserver(&s_refuseContexts);
    CSmoothMapWindow* pSmooth = open();
    ASSERT_NE(pSmooth, nullptr);
    CSmoothMapPicture* pPicture = pSmooth->getPicture();
    pPicture->grab();
    setGL4dObserver(pBefore);
    EXPECT_TRUE(pPicture->getMessage().startsWith("Smooth field map: no OpenGL context"))
        << pPicture->getMessage().toStdString();
    EXPECT_EQ(pPicture->getViewport(), nullptr);
    drag(pPicture, Qt::LeftButton, {100, 100}, {150, 150});
    QTest::mouseClick(pPicture, Qt::LeftButton, {}, pPicture->rect().center());

    // Closed, it takes its bar along; a selection made meanwhile is there when it comes back,
    // and this time the context is made.
    pSmooth->close();
    pump();
    EXPECT_FALSE(bars().hasBar(CColorBarPanel::barSmooth));
    ASSERT_TRUE(m_window.selectSample(10));
    EXPECT_FALSE(bars().hasBar(CColorBarPanel::barSmooth));
    EXPECT_EQ(open(), pSmooth);
    EXPECT_TRUE(pSmooth->isVisible());
    EXPECT_EQ(pPicture->getMessage(), "");
    EXPECT_NE(pPicture->getViewport(), nullptr);
    ASSERT_TRUE(bars().hasBar(CColorBarPanel::barSmooth));
    const double dNoiseMax = bar().dataMax();
    ASSERT_TRUE(m_window.selectSample(300));
    EXPECT_GT(bar().dataMax(), 1.25 * dNoiseMax) << "sample 10 was shown, not the peak";

    // Two MEG channels, one of them bad: no surface, one line, no bar, no box.
    m_window.setRecording(syntheticRecording(2), "two channels");
    pump();
    const std::string strMessage = pPicture->getMessage().toStdString();
    EXPECT_EQ(strMessage, pSmooth->getSmoothMap().getMessage());
    EXPECT_EQ(strMessage.rfind("Smooth field map: ", 0), 0u) << strMessage;
    EXPECT_EQ(strMessage.find('\n'), std::string::npos);
    EXPECT_FALSE(bars().hasBar(CColorBarPanel::barSmooth));
    testing::internal::CaptureStdout();
    drag(pPicture, Qt::LeftButton, {100, 100}, {150, 150});
    QTest::mouseClick(pPicture, Qt::LeftButton, {}, pPicture->rect().center());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    // A replaced recording is drawn at once, in the kind and mode chosen.
    pSmooth->getKindBox()->setCurrentIndex(2);
    pSmooth->getColorBox()->setCurrentIndex(1);
    m_window.setRecording(syntheticRecording(30), "thirty channels");
    pump();
    EXPECT_EQ(pPicture->getMessage(), "");
    EXPECT_EQ(pSmooth->getSmoothMap().getSensorCount(), 29);
    ASSERT_TRUE(bars().hasBar(CColorBarPanel::barSmooth));
    EXPECT_TRUE(bar().isContinuous());
    EXPECT_EQ(bars().getUnit(CColorBarPanel::barSmooth), "fT (spectrum)");
}

} // namespace
