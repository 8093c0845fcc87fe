// The selection rule both programs and the demo window follow, in process, and the two programs
// run with the same bad selections; contourmap-demo as a script runs it.

#include "programrun.h"
#include "selectionrule.h"

#include "mdtrial.h"
#include "megdata.h"
#include "spctmtrial.h"
#include "syntheticrecording.h"

#include <QImage>
#include <cxxopts.hpp>
#include <gtest/gtest.h>

#include <array>
#include <tuple>

namespace {

// The synthetic recording: 1000 samples at 1000 Hz from -0.2 s; spectra of 10 rows (row times
// -0.1 to 0.7 s in 0.1 s steps, row 0 none) and 101 columns (0 to 100 Hz).
std::unique_ptr<CMEGDataqv> recording() {
    CSyntheticOptionsqv options;
    options.nMegChannels = 30;
    return makeSyntheticRecording(options);
}

bool read(std::vector<const char*> args, SSelectionRequest& request, std::string& error) {
    cxxopts::Options options("test");
    addSelectionOptions(options);
    args.insert(args.begin(), "test");
    try {
        const cxxopts::ParseResult result =
            options.parse(static_cast<int>(args.size()), const_cast<char**>(args.data()));
        return readSelectionOptions(result, request, error);
    } catch (const cxxopts::exceptions::exception& e) {
        error = e.what();
        return false;
    }
}

// Sample, bin, cell row and column, and the cell's time in samples.
using SSelected = std::array<std::int64_t, 5>;

SSelected selected(CMEGDataqv& r) {
    std::int64_t nSample = 0, nEnd = 0;
    r.getSelect(nSample, nEnd);
    const CSpctmTrialqv& s = *r.getTrialqv(-1)->getSpctmTrial(false, 0);
    return {nSample, s.m_nSelectFreqBin, s.m_nSelectRow, s.m_nSelectColumn, s.m_nSelectTime};
}

// Malformed or clashing options are refused when read (the programs then point to --help); a
// selection outside the data when applied, which then leaves the whole selection as it was. Both
// programs refuse each with the same one line, and should one pass, leave nothing behind.
TEST(SelectionRule, MalformedClashingOrOutsideSelectionsAreRefusedWithOneLine) {
    const std::string strCell = "--cell must be ROW,COLUMN with two whole numbers of 0 or more";
    const std::string strCellAt = "--cell-at must be SECONDS,HZ with two numbers, e.g. 0.15,10";
    const std::pair<std::vector<const char*>, std::string> cases[] = {
        {{"--sample", "-1"}, "--sample must not be negative"},
        {{"--sample", "1.5"}, "--sample must be a whole number"},
        {{"--bin", "9999999999999999999999"}, "--bin must be a whole number"},
        {{"--cell", "3"}, strCell},
        {{"--cell", "1.5,2"}, strCell},
        {{"--cell", "-1,2"}, strCell},
        {{"--cell-at", "0.1,inf"}, strCellAt},
        {{"--sample", "3", "--time", "0.1"},
         "--sample and --time both choose the sample; give one"},
        {{"--bin", "3", "--freq", "10"},
         "--bin and --freq both choose the frequency bin; give one"},
        {{"--cell", "1,2", "--cell-at", "0.1,10"},
         "--cell and --cell-at both choose the cell; give one"},
        {{"--sample", "1000", "--bin", "3"},
         "--sample 1000 is outside the recording's 1000 samples"},
        // A bin is a column: the spectra's other elements are cells, not bins.
        {{"--sample", "3", "--bin", "101"}, "--bin 101 is outside the 101 frequency bins"},
        {{"--bin", "3", "--cell", "10,0"},
         "--cell 10,0 is outside the 10 x 101 time-frequency array"},
        {{"--bin", "3", "--time", "0.8006"},
         "--time 0.8006 is outside the recording (-0.2 to 0.799 s)"},
        {{"--sample", "3", "--freq", "100.6"},
         "--freq 100.6 is outside the recording's frequencies (0 to 100 Hz)"},
        {{"--sample", "3", "--cell-at", "0.76,10"},
         "--cell-at time 0.76 is outside the time-frequency windows (-0.1 to 0.7 s)"},
        {{"--sample", "3", "--cell-at", "0.1,-1"},
         "--cell-at frequency -1 is outside the recording's frequencies (0 to 100 Hz)"},
    };
    auto pRecording = recording();
    const SSelected before = selected(*pRecording);
    for (const auto& [args, strLine] : cases) {
        SSelectionRequest request;
        std::string error;
        const bool bRead = read(args, request, error);
        EXPECT_FALSE(bRead && applySelectionRequest(request, *pRecording, error)) << strLine;
        EXPECT_EQ(selected(*pRecording), before) << "unchanged after " << strLine;
        std::string strArgs;
        for (const char* pszArg : args)
            strArgs += std::string(" ") + pszArg;
        const std::string strError = ": error: " + strLine + (bRead ? "" : " (see --help)") + "\n";
        const SProgramRun r = render("--out /dev/null" + strArgs);
        const SProgramRun d = demo("--screenshot /dev/null" + strArgs);
        EXPECT_EQ(std::tie(r.nStatus, r.strErr),
                  std::make_tuple(2, "contourmap-render" + strError));
        EXPECT_EQ(std::tie(d.nStatus, d.strErr), std::make_tuple(2, "contourmap-demo" + strError));
    }
    // An unreadable recording gives both the loader's line.
    const std::string strMissing =
        ": error: /nonexistent/missing.json: cannot open file: No such file or directory\n";
    EXPECT_EQ(render("--out /dev/null --recording /nonexistent/missing.json").strErr,
              "contourmap-render" + strMissing);
    EXPECT_EQ(demo("--recording /nonexistent/missing.json").strErr, "contourmap-demo" + strMissing);
}

TEST(SelectionRule, IndicesTimesAndFrequenciesSelectTheSameThings) {
    auto pRecording = recording();
    const auto [nSample, nBin, nRow, nColumn, nTime] = selected(*pRecording);
    const SSelected cell612{nSample, nBin, 6, 12, 600}; // row 6 centres on 0.4 s, sample 600
    // A time, frequency or place in the spectra selects the nearest sample, bin or cell, as the
    // indices beside them do; the cell's time follows its row.
    const std::pair<std::vector<const char*>, SSelected> cases[] = {
        {{"--time", "0.1"}, {300, nBin, nRow, nColumn, nTime}},
        // The nearest sample, bin and window, never the one below.
        {{"--time", "0.1006"}, {301, nBin, nRow, nColumn, nTime}},
        {{"--freq", "10.6"}, {nSample, 11, nRow, nColumn, nTime}},
        {{"--cell-at", "0.38,11.7"}, cell612},
        {{"--time", "-0.2004"}, {0, nBin, nRow, nColumn, nTime}},
        {{"--time", "0.7994"}, {999, nBin, nRow, nColumn, nTime}},
        {{"--bin", "10"}, {nSample, 10, nRow, nColumn, nTime}},
        {{"--freq", "10.4"}, {nSample, 10, nRow, nColumn, nTime}},
        {{"--freq", "-0.4"}, {nSample, 0, nRow, nColumn, nTime}},
        {{"--cell", "6,12"}, cell612},
        {{"--cell-at", "0.42,12.2"}, cell612},
        {{"--cell-at", "0.74,100.4"}, {nSample, nBin, 9, 100, 900}},
    };
    for (const auto& [args, expected] : cases) {
        auto pFresh = recording();
        SSelectionRequest request;
        std::string error;
        ASSERT_TRUE(read(args, request, error)) << error;
        ASSERT_TRUE(applySelectionRequest(request, *pFresh, error)) << args[0] << ": " << error;
        EXPECT_EQ(selected(*pFresh), expected) << args[0] << " " << args[1];
    }
}

TEST(SelectionRule, RecordingsWithoutAxesOrSpectraSayWhatIsMissing) {
    auto pRecording = recording();
    pRecording->setSamplingRate(0.0);
    pRecording->setSpctmAxes({}, {});
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{"--time", "0.1"}, "--time needs the recording's sampling rate, which it does not give"},
        {{"--freq", "10"}, "--freq needs the recording's frequencies, which it does not give"},
        {{"--cell-at", "0.1,10"},
         "--cell-at needs the recording's row times, which it does not give"},
    };
    for (const auto& [args, pszLine] : cases) {
        SSelectionRequest request;
        std::string error;
        ASSERT_TRUE(read(args, request, error)) << error;
        EXPECT_FALSE(applySelectionRequest(request, *pRecording, error));
        EXPECT_EQ(error, pszLine);
    }

    CMEGDataqv bare;
    bare.addTrial();
    std::string error;
    EXPECT_FALSE(setFreqBinSelection(bare, 0, &error));
    EXPECT_EQ(error, "the recording has no spectral data for --bin");
    EXPECT_FALSE(setCellSelection(bare, 0, 0, &error));
    EXPECT_EQ(error, "the recording has no spectral data for --cell");
    EXPECT_FALSE(setSampleSelection(bare, 0, &error));
    EXPECT_EQ(error, "--sample 0 is outside the recording's 0 samples");
    CMEGDataqv empty;
    EXPECT_FALSE(setSampleSelection(empty, 0, &error));
    EXPECT_EQ(error, "the recording has no current trial");
    EXPECT_FALSE(setFreqBinSelection(empty, 0)) << "no error text asked for";
}

// Right of the 900 x 600 main window only the maps' windows, drawn on black.
TEST(DemoApp, ScreenshotShowsTheMainWindowAndTheOpenedMapsSideBySide) {
    const auto png = testTempDir() / "demo.png";
    const SProgramRun run = demo("--open time,spectral --sample 250 --screenshot " + png.string());
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    EXPECT_EQ(run.strOut, png.string() + "\n");
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(png.string())));
    EXPECT_GT(image.width(), 900 + 2 * 400);
    EXPECT_GE(image.height(), 600);
    int nBlack = 0;
    for (int x = 920; x < image.width(); x += 2)
        nBlack += image.pixelColor(x, image.height() / 2) == QColor(Qt::black) ? 1 : 0;
    EXPECT_GT(nBlack, 100);
}

} // namespace
