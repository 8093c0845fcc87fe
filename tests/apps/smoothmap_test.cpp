// The demo's smooth field map window, driven in-process under the offscreen platform with real
// mouse events on its picture.

#include "butterflyplot.h"
#include "colorbarpanel.h"
#include "demotestsupport.h"
#include "demowindow.h"
#include "smoothmapwindow.h"

#include "bscmagsns.h"
#include "gl4dobserver.h"
#include "gl4dqv.h"
#include "glofflinecontext.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "syntheticrecording.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <QApplication>
#include <QComboBox>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// A move with the button held, as a drag sends it (QTest's mouseMove carries no buttons).
void moveWith(QWidget* pWidget, Qt::MouseButton nButton, Qt::KeyboardModifiers nModifiers,
              QPoint pt) {
    QMouseEvent move(QEvent::MouseMove, QPointF(pt), pWidget->mapToGlobal(QPointF(pt)),
                     Qt::NoButton, nButton, nModifiers);
    QApplication::sendEvent(pWidget, &move);
}

// Press at from, four moves to to, release at to.
void drag(QWidget* pWidget, Qt::MouseButton nButton, QPoint from, QPoint to,
          Qt::KeyboardModifiers nModifiers = Qt::NoModifier) {
    QTest::mousePress(pWidget, nButton, nModifiers, from);
    for (int k = 1; k <= 4; ++k)
        moveWith(pWidget, nButton, nModifiers, from + (to - from) * k / 4);
    QTest::mouseRelease(pWidget, nButton, nModifiers, to);
}

double distanceOf(CGL4dqv& viewport) {
    double x = 0.0, y = 0.0, z = 0.0;
    viewport.getTranslate(x, y, z);
    return -z;
}

// Where the viewport's start camera shows a point of the scene in a picture of the given size
// (origin top-left), and how deep, from a context of our own: the window starts from it too.
struct SStartCamera {
    GLdouble adModel[16], adProjection[16];
    GLint anViewport[4];

    bool init(QSize size) {
        CGLOfflineContextqv context;
        std::string error;
        return context.open(size.width(), size.height(), error) && context.renderFrame([this] {
            glGetDoublev(GL_MODELVIEW_MATRIX, adModel);
            glGetDoublev(GL_PROJECTION_MATRIX, adProjection);
            glGetIntegerv(GL_VIEWPORT, anViewport);
        });
    }
    QPointF project(const double p[3], double& dDepth) const {
        double x = 0.0, y = 0.0;
        gluProject(p[0], p[1], p[2], adModel, adProjection, anViewport, &x, &y, &dDepth);
        return QPointF(x, anViewport[1] + anViewport[3] - y);
    }
};

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

bool sameRange(const CColorScale& scale, const CShow3DCntMapqv& map) {
    return !scale.isContinuous() && scale.colorMin() == map.m_dColorMin &&
           scale.colorMax() == map.m_dColorMax && scale.stepMin() == map.m_dColorStepMin &&
           scale.stepMax() == map.m_dColorStepMax;
}

// The bar's top row as painted, and the colour its scale gives the bar's top value.
std::pair<QColor, QColor> topOfBar(CColorBarPanel& bars) {
    const QImage image = bars.grab().toImage();
    const QRect rect = bars.barRect(CColorBarPanel::barSmooth);
    const CColorScale& scale = bars.getScale(CColorBarPanel::barSmooth);
    const CColorScale::SRgb rgb = scale.rgbAt(scale.barTop());
    return {image.pixelColor(rect.center().x(), rect.top()), QColor(rgb.r, rgb.g, rgb.b)};
}

TEST_F(SmoothMapWindow, OpensBesideTheMainWindowWithItsBarAndFollowsTheSelections) {
    CSmoothMapWindow* pSmooth = open();
    ASSERT_NE(pSmooth, nullptr);
    ASSERT_TRUE(pSmooth->isVisible());
    EXPECT_GT(pSmooth->frameGeometry().left(), m_window.frameGeometry().right());
    EXPECT_EQ(pSmooth->getKind(), CColorScale::kindTime);
    EXPECT_EQ(pSmooth->getIsolineSpin()->value(), 10);
    EXPECT_EQ(pSmooth->getPicture()->getMessage(), "");
    const CSmoothFieldMap& smooth = pSmooth->getSmoothMap();
    const CShow3DCntMapqv& renderer = pSmooth->getRenderer();
    EXPECT_EQ(smooth.getSensorCount(), 59) << "the 60 channels but the bad one";
    EXPECT_EQ(pSmooth->getColorBox()->currentIndex(), 1) << "it opens on the continuous scale";

    // Thresholds mode: the bar is the renderer's, fitted to the evoked peak.
    pSmooth->getColorBox()->setCurrentIndex(0);
    pump();
    ASSERT_TRUE(bars().hasBar(CColorBarPanel::barSmooth));
    EXPECT_EQ(CColorBarPanel::title(CColorBarPanel::barSmooth), "Smooth field map");
    EXPECT_EQ(bars().getUnit(CColorBarPanel::barSmooth), "fT");
    EXPECT_TRUE(sameRange(bar(), renderer));
    auto [painted, expected] = topOfBar(bars());
    EXPECT_EQ(painted, expected);
    const double dPeakMax = bar().dataMax();
    const std::vector<double> aPeak = smooth.getVertexValues();

    // Before the stimulus there is only noise: values and bar follow at once.
    ASSERT_TRUE(m_window.selectSample(10));
    EXPECT_NE(smooth.getVertexValues(), aPeak);
    EXPECT_TRUE(sameRange(bar(), renderer));
    EXPECT_LT(bar().dataMax(), 0.8 * dPeakMax);
    std::tie(painted, expected) = topOfBar(bars());
    EXPECT_EQ(painted, expected);

    // The frequency map: its own range check, unit and selection; other kinds' changes leave
    // it alone, not even repainted.
    pSmooth->getKindBox()->setCurrentIndex(1);
    pump();
    EXPECT_EQ(pSmooth->getKind(), CColorScale::kindFrequency);
    EXPECT_EQ(bars().getUnit(CColorBarPanel::barSmooth), "fT (spectrum)");
    const double dAlphaMax = bar().dataMax();
    const std::vector<double> aAlpha = smooth.getSensorValues();
    CPaintCounter paints;
    pSmooth->getPicture()->installEventFilter(&paints);
    ASSERT_TRUE(m_window.selectSample(300));
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

TEST_F(SmoothMapWindow, TheContinuousScaleReplacesTheBarAndThePicture) {
    CSmoothMapWindow* pSmooth = open();
    ASSERT_NE(pSmooth, nullptr);
    pSmooth->getColorBox()->setCurrentIndex(0);
    pump();
    const QImage thresholds = pSmooth->getPicture()->grab().toImage();
    pSmooth->getColorBox()->setCurrentIndex(1);
    pump();
    ASSERT_TRUE(bar().isContinuous());
    double dMin = 0.0, dMax = 0.0;
    ASSERT_TRUE(pSmooth->getSmoothMap().getContinuousRange(dMin, dMax));
    EXPECT_EQ(bar().colorMin(), dMin);
    EXPECT_EQ(bar().colorMax(), dMax);
    EXPECT_EQ(dMin, -dMax);
    auto [painted, expected] = topOfBar(bars());
    EXPECT_EQ(painted, expected);
    // Each isoline's level is marked at the bar's edge, the bar's own colour beside the mark.
    const QImage image = bars().grab().toImage();
    const QRect rect = bars().barRect(CColorBarPanel::barSmooth);
    ASSERT_EQ(bar().levels(), pSmooth->getSmoothMap().getIsolineLevels());
    ASSERT_FALSE(bar().levels().empty());
    for (double dLevel : bar().levels()) {
        const int nRow =
            rect.top() + static_cast<int>(std::lround(bar().rowOf(dLevel, rect.height())));
        EXPECT_LT(image.pixelColor(rect.right(), nRow).lightness(), 60) << dLevel;
        EXPECT_GT(image.pixelColor(rect.left(), nRow).lightness(), 60) << dLevel;
    }
    EXPECT_NE(pSmooth->getPicture()->grab().toImage(), thresholds);

    // It follows a selection as well, and back in thresholds mode the renderer's scale returns.
    ASSERT_TRUE(m_window.selectSample(10));
    EXPECT_TRUE(bar().isContinuous());
    EXPECT_LT(bar().colorMax(), 0.8 * dMax);
    pSmooth->getColorBox()->setCurrentIndex(0);
    pump();
    EXPECT_TRUE(sameRange(bar(), pSmooth->getRenderer()));
}

TEST_F(SmoothMapWindow, DragsTurnAndZoomByTheDialogsRules) {
    CSmoothMapWindow* pSmooth = open();
    ASSERT_NE(pSmooth, nullptr);
    CSmoothMapPicture* pPicture = pSmooth->getPicture();
    CGL4dqv* pViewport = pPicture->getViewport();
    ASSERT_NE(pViewport, nullptr);
    EXPECT_EQ(pPicture->overlayLines(), QStringList({"Rotation: 0 0 0 ", "Distance: 750"}))
        << "the dialogs' start view";

    // Left: 3.6 pixels per degree, down turns about x, right about y.
    testing::internal::CaptureStdout();
    drag(pPicture, Qt::LeftButton, {100, 100}, {136, 172});
    CGxyz r = pViewport->getRotateValue();
    EXPECT_NEAR(r.x, 72 / 3.6, 1e-9);
    EXPECT_NEAR(r.y, 36 / 3.6, 1e-9);
    EXPECT_EQ(r.z, 0.0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "a drag is no pick";

    // Right, or left with Shift: a pixel up moves the camera a millimetre away.
    drag(pPicture, Qt::RightButton, {150, 300}, {150, 240});
    EXPECT_DOUBLE_EQ(distanceOf(*pViewport), 810.0);
    drag(pPicture, Qt::LeftButton, {150, 200}, {160, 280}, Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(distanceOf(*pViewport), 730.0);
    EXPECT_NEAR(pViewport->getRotateValue().x, 72 / 3.6, 1e-9) << "zooming turns nothing";
    QWheelEvent wheel(QPointF(150, 150), pPicture->mapToGlobal(QPointF(150, 150)), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(pPicture, &wheel);
    EXPECT_DOUBLE_EQ(distanceOf(*pViewport), 730.0 - CSmoothMapPicture::nWheelStepMm);
    EXPECT_EQ(pPicture->overlayLines(), QStringList({"Rotation: 20 10 0 ", "Distance: 705"}));

    // A bigger window keeps the camera and fills the picture.
    pSmooth->resize(pSmooth->width() + 150, pSmooth->height() + 100);
    pump();
    const QImage image = pPicture->grab().toImage();
    EXPECT_EQ(pPicture->overlayLines()[0], "Rotation: 20 10 0 ");
    int nLeft = image.width(), nRight = -1;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, image.height() / 2) != QColor(Qt::black)) {
            nLeft = std::min(nLeft, x);
            nRight = std::max(nRight, x);
        }
    EXPECT_LT(std::abs((nLeft + nRight) / 2 - image.width() / 2), image.width() / 20)
        << "the head stays in the middle of the resized picture: " << nLeft << ".." << nRight;
}

TEST_F(SmoothMapWindow, AClickOnASensorPicksItAndBesideTheHeadNothing) {
    CSmoothMapWindow* pSmooth = open();
    ASSERT_NE(pSmooth, nullptr);
    CSmoothMapPicture* pPicture = pSmooth->getPicture();
    SStartCamera camera;
    ASSERT_TRUE(camera.init(pPicture->size()));

    // The sensors nearest to the camera, wherever the renderer's centre puts them.
    const CShow3DCntMapqv& renderer = pSmooth->getRenderer();
    const double adShift[3] = {renderer.m_bAutofitPlace ? renderer.m_dCenterX : 0.0,
                               renderer.m_bAutofitPlace ? renderer.m_dCenterY : 0.0,
                               renderer.m_bAutofitPlace ? renderer.m_dCenterZ : 0.0};
    std::vector<std::pair<double, int>> aByDepth;
    std::vector<QPointF> aPoints(trial().getTotalChannel());
    for (int nSlot : pSmooth->getSmoothMap().getSensorSlots()) {
        double p[3];
        trial().getAllChannelPt()[nSlot]->getMEGCoilqv(0)->getCoilPositionD(p[0], p[1], p[2]);
        for (int i = 0; i < 3; ++i)
            p[i] -= adShift[i];
        double dDepth = 0.0;
        aPoints[nSlot] = camera.project(p, dDepth);
        aByDepth.push_back({dDepth, nSlot});
    }
    std::sort(aByDepth.begin(), aByDepth.end());
    ASSERT_GE(aByDepth.size(), 3u);

    int nPicked = 0;
    for (int k = 0; k < 3; ++k) {
        const int nSlot = aByDepth[k].second;
        if (nSlot == trial().getCurntChnlIndx())
            continue;
        const std::string strName =
            QString::fromStdWString(trial().getAllChannelPt()[nSlot]->m_strChnlName).toStdString();
        testing::internal::CaptureStdout();
        // A press and a release a pixel apart is still a click.
        const QPoint pt = aPoints[nSlot].toPoint();
        QTest::mousePress(pPicture, Qt::LeftButton, {}, pt);
        QTest::mouseRelease(pPicture, Qt::LeftButton, {}, pt + QPoint(1, 1));
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "picked channel " + std::to_string(nSlot) + " " + strName + "\n");
        EXPECT_EQ(trial().getCurntChnlIndx(), nSlot);
        EXPECT_EQ(m_window.getPlot()->getHighlightedChannel(), nSlot);
        const QString strStatus = m_window.statusBar()->currentMessage();
        EXPECT_TRUE(
            strStatus.startsWith(QString("Channel %1 %2: ").arg(nSlot).arg(strName.c_str())) &&
            strStatus.contains(" fT at 100.0 ms"))
            << strStatus.toStdString();
        ++nPicked;
    }
    EXPECT_GE(nPicked, 2);

    // Beside the head: no pick, nothing changes.
    const int nCurrent = trial().getCurntChnlIndx();
    const QString strStatus = m_window.statusBar()->currentMessage();
    testing::internal::CaptureStdout();
    QTest::mouseClick(pPicture, Qt::LeftButton, {}, QPoint(3, pPicture->height() - 3));
    // A right click on a sensor zooms by nothing and picks nothing.
    QTest::mouseClick(pPicture, Qt::RightButton, {}, aPoints[aByDepth[0].second].toPoint());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(trial().getCurntChnlIndx(), nCurrent);
    EXPECT_EQ(m_window.statusBar()->currentMessage(), strStatus);
}

TEST_F(SmoothMapWindow, WhatCannotBeDrawnIsSaidInThePictureAndNothingBreaks) {
    CSmoothMapWindow* pSmooth = open();
    ASSERT_NE(pSmooth, nullptr);
    CSmoothMapPicture* pPicture = pSmooth->getPicture();
    ASSERT_TRUE(bars().hasBar(CColorBarPanel::barSmooth));

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

SGL4dObserver s_refuseContexts;

TEST_F(SmoothMapWindow, AContextThatCannotBeMadeIsSaidAndTheReopenedWindowDraws) {
    s_refuseContexts.pfnContextWanted = [] { return 0; };
    const SGL4dObserver* pBefore = setGL4dObserver(&s_refuseContexts);
    CSmoothMapWindow* pSmooth = open();
    ASSERT_NE(pSmooth, nullptr);
    pSmooth->getColorBox()->setCurrentIndex(0); // the renderer's own bar, to compare with
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
    EXPECT_FALSE(pSmooth->isVisible());
    EXPECT_FALSE(bars().hasBar(CColorBarPanel::barSmooth));
    ASSERT_TRUE(m_window.selectSample(10));
    EXPECT_FALSE(bars().hasBar(CColorBarPanel::barSmooth));
    EXPECT_EQ(open(), pSmooth);
    EXPECT_TRUE(pSmooth->isVisible());
    EXPECT_EQ(pPicture->getMessage(), "");
    EXPECT_NE(pPicture->getViewport(), nullptr);
    ASSERT_TRUE(bars().hasBar(CColorBarPanel::barSmooth));
    EXPECT_TRUE(sameRange(bar(), pSmooth->getRenderer()));
    const double dNoiseMax = bar().dataMax();
    ASSERT_TRUE(m_window.selectSample(300));
    EXPECT_GT(bar().dataMax(), 1.25 * dNoiseMax) << "sample 10 was shown, not the peak";
}

} // namespace
