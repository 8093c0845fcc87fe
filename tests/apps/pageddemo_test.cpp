// The demo window with a long recording: a store written here by hand, a page at a time.

#include "butterflyplot.h"
#include "colorbarpanel.h"
#include "demotestsupport.h"
#include "marklist.h"
#include "overviewstrip.h"
#include "selectionlabels.h"
#include "testtempdir.h"
#include "timeaxis.h"

#include "dlgcontmap3dtimedomain.h"
#include "pagedrecording.h"

#include <QComboBox>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

namespace {

const int nChannels = 12;
const std::int64_t nTotal = 6000; // 60 s at 100 Hz: six pages of the default 10 s

const std::int64_t nSpike = 5321; // one sample of one channel, far above the rest

// The stored value of a channel at a sample; every sample has its own field pattern.
float storedValue(std::int64_t nSample, int nChannel) {
    if (nSample == nSpike && nChannel == 0)
        return 5000.0f;
    return static_cast<float>(100.0 * (nChannel + 1) * std::sin(0.013 * nSample + nChannel));
}

// The highest row where a trace is drawn within a pixel of column x, in the plot's pixels.
int topOfTraces(const QImage& image, int x) {
    for (int y = 0; y < image.height(); ++y)
        for (int dx = -1; dx <= 1; ++dx) {
            const QColor c = image.pixelColor(x + dx, y);
            if (c.blue() > c.red() + 20)
                return y;
        }
    return image.height();
}

// The largest value of all channels at a sample, which a fitted colour scale reaches.
double storedMax(std::int64_t nSample) {
    double dMax = -INFINITY;
    for (int c = 0; c < nChannels; ++c)
        dMax = std::max(dMax, static_cast<double>(storedValue(nSample, c)));
    return dMax;
}

// A NumPy store of nTotal rows of which the first nWritten are written, as a conversion
// leaves it on the way.
void writeStore(const std::filesystem::path& path, std::int64_t nWritten) {
    std::string header = "{'descr': '<f4', 'fortran_order': False, 'shape': (" +
                         std::to_string(nTotal) + ", " + std::to_string(nChannels) + "), }";
    header.resize(117, ' ');
    std::ofstream out(path, std::ios::binary);
    out.write("\x93NUMPY\x01\x00\x76\x00", 10); // version 1.0, a header of 118 (0x76) bytes
    out << header << '\n';
    for (std::int64_t s = 0; s < nWritten; ++s)
        for (int c = 0; c < nChannels; ++c) {
            const float f = storedValue(s, c);
            out.write(reinterpret_cast<const char*>(&f), sizeof f);
        }
}

// Its header: the sensors on a ring over the head, two events and two marked spans.
std::string writeHeader(const std::string& strName, bool bGrowing) {
    std::string channels, columns;
    for (int c = 0; c < nChannels; ++c) {
        const double dAngle = 2.0 * M_PI * c / nChannels;
        channels += std::string(c ? "," : "") + R"({"name": "MEG)" + std::to_string(100 + c) +
                    R"(", "kind": "meg", "coils": [[)" + std::to_string(80 * std::cos(dAngle)) +
                    "," + std::to_string(80 * std::sin(dAngle)) + ",60]]}";
        columns += (c ? "," : "") + std::to_string(c);
    }
    const std::filesystem::path path = testTempDir() / (strName + ".json");
    std::ofstream(path) << R"({"sampling_rate": 100, "store": {"file": "rec.npy", "columns": [)"
                        << columns << R"(], "first": 0, "total": )" << nTotal << R"(, "growing": )"
                        << (bGrowing ? "true" : "false") << R"(},
        "events": [[1500, 3], [3700, 5]],
        "annotations": [{"sample": 2500, "samples": 300, "description": "spike"},
                        {"sample": 4200, "samples": 500, "description": "BAD_segment"}],
        "overview": {"rate": 1, "gfp": [)"
                        << QString("1,").repeated(59).toStdString() << R"(1]},
        "channels": [)" << channels
                        << "]}";
    return path.string();
}

class PagedDemoWindow : public ShownDemoWindow {
protected:
    PagedDemoWindow() : ShownDemoWindow(20) {}
    // The keys are the main window's: it must be the active one.
    void activate() {
        m_window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
    }
    void open() {
        writeStore(testTempDir() / "rec.npy", nTotal);
        ASSERT_TRUE(m_window.openRecording(QString::fromStdString(writeHeader("rec", false))));
        ASSERT_TRUE(m_window.getPagedRecording());
        pump();
        activate();
    }
    CPagedRecording& paged() { return *m_window.getPagedRecording(); }
    std::int64_t selected() { return paged().getSelectedSample(); }
    void key(int nKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(m_window.getPlot(), static_cast<Qt::Key>(nKey), modifiers);
    }
};

TEST_F(PagedDemoWindow, PagesFollowTheCursorThePageKeysAndThePageLength) {
    open();
    EXPECT_TRUE(m_window.getOverview()->isVisible());
    EXPECT_EQ(m_window.getMarkList()->topLevelItemCount(), 4);
    ASSERT_TRUE(m_window.selectSample(999));
    EXPECT_EQ(paged().getPageFirst(), 0);

    // The arrow key past the page's end turns it; page keys keep the cursor's place on the page
    // and stop at the recording's ends.
    m_window.getPlot()->setFocus();
    const std::tuple<int, std::int64_t, std::int64_t> keys[] = {
        {Qt::Key_Right, 1000, 1000},  {Qt::Key_PageDown, 2000, 2000},
        {Qt::Key_PageUp, 1000, 1000}, {Qt::Key_PageUp, 0, 0},
        {Qt::Key_PageUp, 0, 0},       {Qt::Key_End, nTotal - 1, 5000}};
    for (const auto& [nKey, nSelected, nPageFirst] : keys) {
        key(nKey);
        EXPECT_EQ(selected(), nSelected) << nKey;
        EXPECT_EQ(paged().getPageFirst(), nPageFirst) << nKey;
    }

    // A shorter page holds the selected sample.
    m_window.getPageLengthBox()->setCurrentIndex(0);
    emit m_window.getPageLengthBox()->activated(0);
    EXPECT_EQ(paged().getPageSize(), 200);
    EXPECT_EQ(paged().getPageFirst(), 5800);
    EXPECT_EQ(selected(), nTotal - 1);
    const QImage shortPage = m_window.getPlot()->grab().toImage();
    EXPECT_LT(topOfTraces(shortPage, static_cast<int>(m_window.getPlot()->sampleToX(5900))),
              shortPage.height())
        << "the traces are drawn on the page";
    EXPECT_EQ(sampleLabel(paged(), 5999).toStdString(), "59.990 s");

    // A page of more samples than pixels keeps each column's extremes: the one-sample spike
    // rises far above the traces elsewhere.
    ASSERT_TRUE(m_window.selectSample(nTotal - 1));
    ASSERT_TRUE(m_window.setPageSeconds(30.0));
    ASSERT_EQ(paged().getPageFirst(), 3000);
    CButterflyPlot& plot = *m_window.getPlot();
    const QImage image = plot.grab().toImage();
    const int nSpikeTop = topOfTraces(image, static_cast<int>(plot.sampleToX(nSpike)));
    const int nElsewhere = topOfTraces(image, static_cast<int>(plot.sampleToX(4000)));
    EXPECT_LT(nSpikeTop, nElsewhere - plot.height() / 4);
}

TEST_F(PagedDemoWindow, OverviewListAndMarkKeysJumpAndTheMapShowsTheStoredValues) {
    open();
    m_window.getMapAction(CDemoWindow::mapTime)->trigger();
    pump();
    activate();
    const CShow3DCntMapqv& map =
        m_window.getFace().m_pDlgTimeDomain->m_staticContMap.m_Show3DCntMap;
    const auto mapMax = [&] { return CColorScale::fromMap(map, CColorScale::kindTime).dataMax(); };

    COverviewStrip& overview = *m_window.getOverview();
    QTest::mouseClick(&overview, Qt::LeftButton, {},
                      QPoint(static_cast<int>(overview.sampleToX(4500)), overview.height() / 2));
    const double dSamplesPerPixel = static_cast<double>(nTotal) / overview.stripArea().width();
    EXPECT_NEAR(static_cast<double>(selected()), 4500.0, dSamplesPerPixel + 1);

    ASSERT_TRUE(m_window.selectSample(0));
    CMarkList& list = *m_window.getMarkList();
    // ] and [ (or Ctrl with the arrows) go to the next and previous event or mark, in order.
    const std::tuple<int, Qt::KeyboardModifiers, std::int64_t> keys[] = {
        {Qt::Key_BracketRight, Qt::NoModifier, 1500}, {Qt::Key_BracketRight, Qt::NoModifier, 2500},
        {Qt::Key_Right, Qt::ControlModifier, 3700},   {Qt::Key_BracketRight, Qt::NoModifier, 4200},
        {Qt::Key_BracketRight, Qt::NoModifier, 4200}, {Qt::Key_BracketLeft, Qt::NoModifier, 3700},
        {Qt::Key_Left, Qt::ControlModifier, 2500}};
    for (const auto& [nKey, modifiers, nLanding] : keys) {
        key(nKey, modifiers);
        EXPECT_EQ(selected(), nLanding);
        EXPECT_EQ(paged().getPageFirst(), nLanding / 1000 * 1000);
        EXPECT_DOUBLE_EQ(mapMax(), storedMax(nLanding)) << nLanding;
        ASSERT_TRUE(list.currentItem());
        EXPECT_EQ(list.currentItem()->data(0, Qt::UserRole).toLongLong(), nLanding);
    }

    QTreeWidgetItem* pBad = list.topLevelItem(3);
    ASSERT_EQ(pBad->text(1), "BAD_segment");
    EXPECT_EQ(pBad->text(0), "42.000 s");
    emit list.itemClicked(pBad, 0);
    EXPECT_EQ(selected(), 4200);
}

// The descriptors of this process open on a file.
int openDescriptors(const std::filesystem::path& file) {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        n += std::filesystem::read_symlink(entry.path(), error) == file ? 1 : 0;
    }
    return n;
}

TEST_F(PagedDemoWindow, AConversionShowsItsFirstPageThenGrowsAndIsSwappedWhereTheUserIs) {
    const std::filesystem::path store = testTempDir() / "rec.npy";
    writeStore(store, 600);
    emit m_window.getConverter().firstPageReady(QString::fromStdString(writeHeader("part", true)));
    pump();
    ASSERT_TRUE(m_window.getPagedRecording());
    EXPECT_EQ(paged().getPageLength(), 600);
    EXPECT_FALSE(m_window.selectSample(3000)) << "not written yet";

    writeStore(store, 3500);
    emit m_window.getConverter().progress("converted 35 of 60 s");
    EXPECT_EQ(paged().getStoredEnd(), 3500);
    EXPECT_EQ(paged().getPageLength(), 1000) << "the cut-short first page filled up";
    ASSERT_TRUE(m_window.setPageSeconds(20.0));
    ASSERT_TRUE(m_window.selectSample(3000));
    EXPECT_EQ(paged().getPageLength(), 1500) << "the second 20 s page, written up to 35 s";

    writeStore(store, nTotal);
    const CPagedRecording* pPart = m_window.getPagedRecording();
    emit m_window.getConverter().finished(QString::fromStdString(writeHeader("whole", false)));
    pump();
    ASSERT_NE(m_window.getPagedRecording(), pPart);
    EXPECT_EQ(paged().getStoredEnd(), nTotal);
    EXPECT_EQ(selected(), 3000);
    EXPECT_EQ(paged().getPageFirst(), 2000);
    EXPECT_EQ(paged().getPageLength(), 2000);
    EXPECT_EQ(openDescriptors(std::filesystem::canonical(store)), 1) << "the part was freed";
}

TEST(TimeAxis, SecondsOrMinutesAndSeconds) {
    EXPECT_EQ(timeaxis::text(125.5, true).toStdString(), "2:05.500");
    EXPECT_EQ(timeaxis::text(59.9996, true).toStdString(), "1:00.000");
    EXPECT_EQ(timeaxis::text(-1.5, false, 1).toStdString(), "-1.5 s");
    EXPECT_EQ(timeaxis::text(3600.0, true, 0).toStdString(), "60:00");
    // Long spans tick on whole minutes, short ones on decimal steps.
    EXPECT_EQ(timeaxis::ticks(0.0, 600.0, 5, true),
              (std::vector<double>{0, 120, 240, 360, 480, 600}));
    EXPECT_EQ(timeaxis::ticks(10.0, 11.0, 5, false).size(), 6u);
    EXPECT_EQ(timeaxis::tickDecimals(10.0, 11.0, 5, false), 1);
}

} // namespace
