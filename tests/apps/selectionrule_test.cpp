// The selection rule both programs and the demo window follow, in process, and the two programs
// run with the same bad selections.

#include "selectionrule.h"
#include "testtempdir.h"

#include "mdtrial.h"
#include "megdata.h"
#include "spctmtrial.h"
#include "syntheticrecording.h"

#include <cxxopts.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sys/wait.h>

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

struct SSelected {
    std::int64_t nSample, nBin, nRow, nColumn, nTime;
    bool operator==(const SSelected& o) const {
        return nSample == o.nSample && nBin == o.nBin && nRow == o.nRow && nColumn == o.nColumn &&
               nTime == o.nTime;
    }
};

std::ostream& operator<<(std::ostream& out, const SSelected& s) {
    return out << "sample " << s.nSample << " bin " << s.nBin << " cell " << s.nRow << ","
               << s.nColumn << " time " << s.nTime;
}

SSelected selected(CMEGDataqv& r) {
    std::int64_t nSample = 0, nEnd = 0;
    r.getSelect(nSample, nEnd);
    const CSpctmTrialqv& s = *r.getTrialqv(-1)->getSpctmTrial(false, 0);
    return {nSample, s.m_nSelectFreqBin, s.m_nSelectRow, s.m_nSelectColumn, s.m_nSelectTime};
}

TEST(SelectionRule, MalformedOrClashingOptionsAreRefusedWithOneLine) {
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{"--sample", "-1"}, "--sample must not be negative"},
        {{"--bin", "-3"}, "--bin must not be negative"},
        {{"--sample", "1.5"}, "--sample must be a whole number"},
        {{"--bin", "9999999999999999999999"}, "--bin must be a whole number"},
        {{"--cell", "3"}, "--cell must be ROW,COLUMN with two whole numbers of 0 or more"},
        {{"--cell", "1.5,2"}, "--cell must be ROW,COLUMN with two whole numbers of 0 or more"},
        {{"--cell", "-1,2"}, "--cell must be ROW,COLUMN with two whole numbers of 0 or more"},
        {{"--cell-at", "0.1"}, "--cell-at must be SECONDS,HZ with two numbers, e.g. 0.15,10"},
        {{"--cell-at", "0.1,inf"}, "--cell-at must be SECONDS,HZ with two numbers, e.g. 0.15,10"},
        {{"--sample", "3", "--time", "0.1"},
         "--sample and --time both choose the sample; give one"},
        {{"--bin", "3", "--freq", "10"},
         "--bin and --freq both choose the frequency bin; give one"},
        {{"--cell", "1,2", "--cell-at", "0.1,10"},
         "--cell and --cell-at both choose the cell; give one"},
    };
    for (const auto& [args, pszLine] : cases) {
        SSelectionRequest request;
        std::string error;
        EXPECT_FALSE(read(args, request, error)) << pszLine;
        EXPECT_EQ(error, pszLine);
    }
}

TEST(SelectionRule, IndicesTimesAndFrequenciesSelectTheSameThings) {
    auto pRecording = recording();
    const SSelected before = selected(*pRecording);
    // Each pair of command lines must select the same; the cell's time follows its row.
    const std::pair<std::vector<const char*>, SSelected> cases[] = {
        {{"--sample", "300"}, {300, before.nBin, before.nRow, before.nColumn, before.nTime}},
        {{"--time", "0.1"}, {300, before.nBin, before.nRow, before.nColumn, before.nTime}},
        // The nearest sample, bin and window, never the one below.
        {{"--time", "0.1006"}, {301, before.nBin, before.nRow, before.nColumn, before.nTime}},
        {{"--freq", "10.6"}, {before.nSample, 11, before.nRow, before.nColumn, before.nTime}},
        {{"--cell-at", "0.38,11.7"}, {before.nSample, before.nBin, 6, 12, 600}},
        {{"--time", "-0.2004"}, {0, before.nBin, before.nRow, before.nColumn, before.nTime}},
        {{"--time", "0.7994"}, {999, before.nBin, before.nRow, before.nColumn, before.nTime}},
        {{"--bin", "10"}, {before.nSample, 10, before.nRow, before.nColumn, before.nTime}},
        {{"--freq", "10.4"}, {before.nSample, 10, before.nRow, before.nColumn, before.nTime}},
        {{"--freq", "-0.4"}, {before.nSample, 0, before.nRow, before.nColumn, before.nTime}},
        // Row 6 centres on 0.4 s, that is sample 600.
        {{"--cell", "6,12"}, {before.nSample, before.nBin, 6, 12, 600}},
        {{"--cell-at", "0.42,12.2"}, {before.nSample, before.nBin, 6, 12, 600}},
        {{"--cell-at", "0.74,100.4"}, {before.nSample, before.nBin, 9, 100, 900}},
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

TEST(SelectionRule, AnythingOutsideTheDataRefusesTheWholeRequest) {
    auto pRecording = recording();
    const SSelected before = selected(*pRecording);
    const std::pair<std::vector<const char*>, const char*> cases[] = {
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
    for (const auto& [args, pszLine] : cases) {
        SSelectionRequest request;
        std::string error;
        ASSERT_TRUE(read(args, request, error)) << error;
        EXPECT_FALSE(applySelectionRequest(request, *pRecording, error)) << pszLine;
        EXPECT_EQ(error, pszLine);
        EXPECT_EQ(selected(*pRecording), before) << "unchanged after " << pszLine;
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

// Standard error of a program run with arguments, and its exit status.
std::pair<int, std::string> run(const std::string& strProgram, const std::string& strArgs) {
    const auto err = testTempDir() / "selection-stderr.txt";
    const std::string strCommand =
        "QT_QPA_PLATFORM=offscreen " + strProgram + " " + strArgs + " >/dev/null 2>" + err.string();
    const int nRaw = std::system(strCommand.c_str());
    std::ifstream in(err);
    return {WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1,
            std::string(std::istreambuf_iterator<char>(in), {})};
}

TEST(SelectionRule, BothProgramsRejectTheSameSelectionsWithTheSameLine) {
    for (const char* pszArgs :
         {"--sample 1000", "--bin 101", "--cell 10,0", "--time 0.9", "--freq 200", "--cell-at 2,10",
          "--sample 3 --time 0.1", "--cell 1.5,2"}) {
        // Should a selection pass, neither program may leave anything behind.
        const auto render = run(std::string(CM3D_RENDER_EXE) + " --out /dev/null", pszArgs);
        const auto demo = run(std::string(CM3D_DEMO_EXE) + " --screenshot /dev/null", pszArgs);
        EXPECT_EQ(render.first, 2) << pszArgs;
        EXPECT_EQ(demo.first, 2) << pszArgs;
        const std::string strRender = render.second.substr(render.second.find(": error: "));
        const std::string strDemo = demo.second.substr(demo.second.find(": error: "));
        EXPECT_EQ(strRender, strDemo) << pszArgs;
        EXPECT_EQ(std::count(strRender.begin(), strRender.end(), '\n'), 1) << strRender;
    }
}

} // namespace
