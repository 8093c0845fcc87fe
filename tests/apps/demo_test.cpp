// The demo host's window driven in-process, under the offscreen platform, with the real library.

#include "butterflyplot.h"
#include "colorbarpanel.h"
#include "demooptions.h"
#include "demotestsupport.h"
#include "selectionlabels.h"
#include "testtempdir.h"

#include "dlg3dcontourmapfrq.h"
#include "dlg3dcontourmapspctm.h"
#include "dlgcontmap3dtimedomain.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "recordingjson.h"

#include <QApplication>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <tuple>

namespace {

class DemoWindow : public ShownDemoWindow {
protected:
    DemoWindow() : ShownDemoWindow(100) {}

    CMEGDataqv& recording() { return *m_window.getRecording(); }
};

TEST_F(DemoWindow, SelectionChangesReachTheOpenMapsAndTheirColourBars) {
    CColorBarPanel& bars = *m_window.getColorBars();
    EXPECT_FALSE(bars.isVisible()) << "no map, no bar";
    m_window.getMapAction(CDemoWindow::mapTime)->trigger();
    pump();
    ASSERT_TRUE(bars.isVisible());
    EXPECT_FALSE(bars.hasBar(CColorScale::kindFrequency) || bars.hasBar(CColorScale::kindSpectral));
    for (auto nMap : {CDemoWindow::mapFrequency, CDemoWindow::mapSpectral})
        m_window.getMapAction(nMap)->trigger();
    pump();
    C3DRendDlgFaceqv& face = m_window.getFace();
    ASSERT_TRUE(face.m_pDlgTimeDomain && face.m_pDlgFrqc && face.m_pDlgSpctm);
    for (auto nMap : {CDemoWindow::mapTime, CDemoWindow::mapFrequency, CDemoWindow::mapSpectral}) {
        QWidget* pMap = m_window.getMapWindow(nMap);
        ASSERT_TRUE(pMap && pMap->isVisible()) << nMap;
        EXPECT_GT(pMap->frameGeometry().left(), m_window.frameGeometry().right())
            << "map " << nMap << " opens beside the main window, not over it";
    }
    EXPECT_GT(bars.barRect(CColorScale::kindSpectral).top(),
              bars.barRect(CColorScale::kindTime).bottom());

    // Autofit fits each map's range to the shown values when the facade updates it, and its bar
    // follows, painted in the scale's colours: the evoked peak (selected at start) is far
    // stronger than the noise before the stimulus, and 60 Hz holds only noise.
    const struct {
        CColorScale::EMapKind nKind;
        const CShow3DCntMapqv& map;
        std::function<bool()> select;
        double dFactor;
    } maps[] = {
        {CColorScale::kindTime, face.m_pDlgTimeDomain->m_staticContMap.m_Show3DCntMap,
         [&] { return m_window.selectSample(10); }, 0.8},
        {CColorScale::kindFrequency, face.m_pDlgFrqc->m_staticContMap.m_Show3DCntMap,
         [&] { return m_window.selectFreqBin(60); }, 0.5},
        {CColorScale::kindSpectral, face.m_pDlgSpctm->m_staticContMap.m_Show3DCntMap,
         [&] { return m_window.selectCell(9, 60); }, 0.5},
    };
    for (const auto& m : maps) {
        SCOPED_TRACE(m.nKind);
        ASSERT_TRUE(bars.hasBar(m.nKind));
        EXPECT_TRUE(sameRange(bars.getScale(m.nKind), m.map)) << "as opened";
        const double dColorMax = m.map.m_dColorMax, dDataMax = bars.getScale(m.nKind).dataMax();
        ASSERT_TRUE(m.select());
        EXPECT_LT(m.map.m_dColorMax, m.dFactor * dColorMax);
        EXPECT_LT(bars.getScale(m.nKind).dataMax(), m.dFactor * dDataMax);
        EXPECT_TRUE(sameRange(bars.getScale(m.nKind), m.map));
        expectBarTopPainted(bars, m.nKind);
    }

    // A hidden map takes its bar with it.
    m_window.getMapWindow(CDemoWindow::mapTime)->hide();
    pump();
    EXPECT_FALSE(bars.hasBar(CColorScale::kindTime));
    EXPECT_TRUE(bars.hasBar(CColorScale::kindSpectral));
}

// Vertical extent of the highlighted trace in the plot's pixels.
int highlightedHeight(CButterflyPlot& plot) {
    return boundsOf(plot.grab().toImage(), CButterflyPlot::highlightColor()).height();
}

TEST_F(DemoWindow, APickShowsInTheStatusBarThePlotAndOnStandardOutput) {
    m_window.getMapAction(CDemoWindow::mapTime)->trigger();
    CMDTrialqv& trial = *recording().getTrialqv(-1);
    CButterflyPlot& plot = *m_window.getPlot();
    ASSERT_EQ(plot.getHighlightedChannel(), trial.getCurntChnlIndx());
    EXPECT_GT(highlightedHeight(plot), 40) << "the current channel carries the evoked response";

    // The dead channel is flat: once picked, its thick line is all there is in that colour.
    int nDead = 0;
    while (recording().isGoodChnl4Alltrials(nDead))
        ++nDead;
    const std::string strName = "MEG" + std::to_string(1000 + nDead + 1).substr(1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(CDemoWindow::onChannelPicked(nDead, -1), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "picked channel " + std::to_string(nDead) + " " + strName + "\n");
    const QString strStatus = m_window.statusBar()->currentMessage();
    const double dValue = trial.getAllChannelPt()[nDead]->getDataWave()[300];
    EXPECT_TRUE(strStatus.contains(QString("Channel %1 %2").arg(nDead).arg(strName.c_str())) &&
                strStatus.contains(QString::number(dValue, 'f', 1) + " fT") &&
                strStatus.contains("100.0 ms"))
        << strStatus.toStdString();
    EXPECT_EQ(plot.getHighlightedChannel(), nDead);
    EXPECT_EQ(trial.getCurntChnlIndx(), nDead);
    EXPECT_LE(highlightedHeight(plot), 6);

    // Slots without a channel are reported and change nothing.
    const int nEmpty = 100; // the synthetic recording's empty slot follows the MEG channels
    ASSERT_EQ(trial.getAllChannelPt()[nEmpty], nullptr);
    for (int nSlot : {nEmpty, -1, trial.getTotalChannel()}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(CDemoWindow::onChannelPicked(nSlot, -1), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(plot.getHighlightedChannel(), nDead);
    }
}

TEST_F(DemoWindow, AnUnreadableRecordingIsRefusedAndTheCurrentOneStays) {
    m_window.getMapAction(CDemoWindow::mapTime)->trigger();
    CMEGDataqv* pBefore = m_window.getRecording();
    const QString strTitle = m_window.windowTitle();

    const std::string strBad = (testTempDir() / "broken.json").string();
    std::ofstream(strBad) << R"({"channels": [{"name": "M"}]})";
    std::string strLoaderError;
    ASSERT_EQ(loadRecordingJson(strBad, strLoaderError), nullptr);
    EXPECT_FALSE(m_window.openRecording(QString::fromStdString(strBad)));
    ASSERT_EQ(m_window.m_aErrors.size(), 1u);
    EXPECT_EQ(m_window.m_aErrors[0].toStdString(), strLoaderError);
    EXPECT_EQ(m_window.getRecording(), pBefore);
    EXPECT_EQ(m_window.windowTitle(), strTitle);

    // A good file replaces the recording, also in the open map, which is painted again.
    const std::string strGood = (testTempDir() / "small.json").string();
    std::string error;
    ASSERT_EQ(saveRecordingJson(*syntheticRecording(30), strGood, error), 1) << error;
    pump();
    CPaintCounter paints;
    CStaticContMap& view = m_window.getFace().m_pDlgTimeDomain->m_staticContMap;
    reinterpret_cast<QWidget*>(view.GetSafeHwnd())->installEventFilter(&paints);
    ASSERT_TRUE(m_window.openRecording(QString::fromStdString(strGood)));
    pump();
    EXPECT_GT(paints.m_nPaints, 0);
    EXPECT_EQ(m_window.windowTitle().toStdString(), "ContourMap3D demo \u2014 small.json");
    EXPECT_EQ(m_window.getPlot()->getPlottedChannelCount(), 30);
    EXPECT_EQ(m_window.getFace().m_pDlgTimeDomain->m_staticContMap.m_pMEGData,
              m_window.getRecording());
}

TEST_F(DemoWindow, KeysAndTheMouseMoveTheTimeCursor) {
    CButterflyPlot& plot = *m_window.getPlot();
    ASSERT_EQ(m_window.getSelectedSample(), 300);
    plot.setFocus();
    // Shift steps ten samples; past the last sample the cursor stays on it.
    const std::tuple<Qt::Key, Qt::KeyboardModifiers, std::int64_t> keys[] = {
        {Qt::Key_Right, {}, 301}, {Qt::Key_Left, {}, 300},
        {Qt::Key_Left, {}, 299},  {Qt::Key_Right, Qt::ShiftModifier, 309},
        {Qt::Key_End, {}, 999},   {Qt::Key_Right, {}, 999}};
    for (const auto& [nKey, modifiers, nSample] : keys) {
        QTest::keyClick(&plot, nKey, modifiers);
        EXPECT_EQ(m_window.getSelectedSample(), nSample) << nKey;
    }

    const int y = plot.height() / 2;
    const auto xOf = [&](double dSample) { return static_cast<int>(plot.sampleToX(dSample)); };
    QTest::mousePress(&plot, Qt::LeftButton, {}, QPoint(xOf(500), y));
    EXPECT_NEAR(static_cast<double>(m_window.getSelectedSample()), 500.0, 2.0);
    QMouseEvent drag(QEvent::MouseMove, QPointF(xOf(700), y),
                     plot.mapToGlobal(QPointF(xOf(700), y)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&plot, &drag);
    EXPECT_NEAR(static_cast<double>(m_window.getSelectedSample()), 700.0, 2.0);
    QTest::mouseRelease(&plot, Qt::LeftButton, {}, QPoint(xOf(700), y));
    EXPECT_EQ(plot.getCursorSample(), m_window.getSelectedSample());
}

TEST_F(DemoWindow, PlayRunsToTheLastSampleAndStops) {
    ASSERT_TRUE(m_window.selectSample(960));
    m_window.getPlayButton()->click();
    EXPECT_EQ(m_window.getPlayButton()->text(), "Stop");
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_window.getSelectedSample() > 960; }, 2000));
    const std::int64_t nPlaying = m_window.getSelectedSample();
    EXPECT_TRUE(nPlaying > 960 && (nPlaying - 960) % CDemoWindow::nPlayStep == 0) << nPlaying;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_window.isPlaying(); }, 5000));
    EXPECT_EQ(m_window.getSelectedSample(), 999);
    EXPECT_EQ(m_window.getPlayButton()->text(), "Play");
    // Played to the end, it starts over; a second click stops it where it is.
    m_window.getPlayButton()->click();
    EXPECT_LT(m_window.getSelectedSample(), 10);
    m_window.getPlayButton()->click();
    EXPECT_FALSE(m_window.isPlaying());
}

TEST(SelectionLabels, UseTheRecordingsAxesOrFallBackToIndices) {
    auto pRecording = syntheticRecording(20);
    CMEGDataqv& r = *pRecording;
    EXPECT_EQ(sampleLabel(r, 200).toStdString(), "0.0 ms");
    EXPECT_EQ(binLabel(r, 10).toStdString(), "10.0 Hz");
    EXPECT_EQ(cellLabel(r, 9, 10).toStdString(), "700.0 ms, 10.0 Hz");
    EXPECT_EQ(cellLabel(r, 0, 3).toStdString(), "whole trial, 3.0 Hz");

    // Axes that do not fit the spectra are not used.
    ASSERT_EQ(r.setSpctmAxes({0.0, 1.0}, {0.0}), 1);
    r.setSamplingRate(0.0);
    EXPECT_EQ(sampleLabel(r, 300).toStdString(), "sample 300");
    EXPECT_EQ(binLabel(r, 1).toStdString(), "bin 1");
    EXPECT_EQ(cellLabel(r, 9, 1).toStdString(), "row 9, column 1");
    EXPECT_EQ(cellLabel(r, 0, 1).toStdString(), "whole trial, column 1");
}

bool parse(std::vector<const char*> args, CDemoOptions& o, std::string& error) {
    args.insert(args.begin(), "contourmap-demo");
    return parseDemoOptions(static_cast<int>(args.size()), const_cast<char**>(args.data()), o,
                            error);
}

TEST(DemoOptions, MapsSelectionsAndConversionOptionsAreRead) {
    const std::pair<std::vector<const char*>, const char*> bad[] = {
        {{"--open", "time,maps"}, "--open: unknown map 'maps'"},
        {{"--ch-type", "eeg"}, "--ch-type must be meg, mag, grad, planar1 or planar2"},
        {{"stray"}, "unexpected argument 'stray'"}};
    for (const auto& [args, pszError] : bad) {
        CDemoOptions o;
        std::string error;
        EXPECT_FALSE(parse(args, o, error)) << pszError;
        EXPECT_NE(error.find(pszError), std::string::npos) << error;
    }

    CDemoOptions o;
    std::string error;
    ASSERT_TRUE(
        parse({"--open", "spectral,time,smooth", "--sample", "12", "--bin", "7", "--cell", "2,5",
               "--ch-type", "grad", "--condition", "Right Auditory", "--no-proj", "--keep-dc"},
              o, error))
        << error;
    // The selections and conversion options are the render command's, read by the same code:
    // their values are checked there (SelectionRule, MegFileBridge).
    EXPECT_TRUE(o.bOpenTime && o.bOpenSpectral && o.bOpenSmooth && !o.bOpenFrequency &&
                !o.bOpenModeling);
    EXPECT_EQ(o.conversion.strCondition, "Right Auditory");
}

} // namespace
