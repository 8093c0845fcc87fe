#include "bscmagsns.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "recordingjson.h"
#include "spctmchnl.h"
#include "spctmtrial.h"
#include "syntheticrecording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

// CTest runs the cases as separate processes side by side: each gets names of its own.
std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + std::to_string(::getpid()) + "-" + name;
}

std::string writeFile(const std::string& name, const std::string& text) {
    const std::string path = tempPath(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const char* const kSmallRecording = R"({
  "sampling_rate": 500,
  "selection": {"sample": 2, "bin": 4, "row": 1, "column": 2, "channel": 2, "time": 1},
  "fiducials": [[0, 95, 0], null, [72, 0, 0], null, null, [0, 10, 120]],
  "channels": [
    {"name": "MEG001", "kind": "meg", "coils": [[10, 20, 30], [11, 21, 31]],
     "samples": [1.5, null, -2, 4], "spectrum": {"rows": 2, "columns": 3,
     "data": [0, 1, 2, 3, 4, 5]}},
    null,
    {"name": "MEG002", "kind": "meg", "good": false, "shown": false, "coils": [[-10, 20, 30]],
     "samples": [0, 0, 0, 0], "spectrum": {"rows": 2, "columns": 3,
     "data": [5, 4, 3, 2, null, 0]}},
    {"name": "STI001", "kind": "stim", "samples": [0, 5, 5, 0]},
    {"name": "EEG\u00e9", "kind": "eeg", "coils": []}
  ]
})";

TEST(RecordingJson, LoadsEveryPartOfTheFormat) {
    std::string error;
    auto pData = loadRecordingJson(writeFile("small.json", kSmallRecording), error);
    ASSERT_NE(pData, nullptr) << error;
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(pData->getSamplingRate(), 500.0);
    int nChannels = 0;
    std::int64_t nSamples = 0;
    CMDTrialqv* pTrial = nullptr;
    ASSERT_GE(pData->getCurntTrialCSD(&nChannels, &nSamples, &pTrial), 0);
    EXPECT_EQ(nChannels, 5);
    EXPECT_EQ(nSamples, 4);
    CMDChannelqv** ppChannels = pTrial->getAllChannelPt();
    EXPECT_EQ(ppChannels[1], nullptr);

    CMDChannelqv& first = *ppChannels[0];
    EXPECT_EQ(first.m_strChnlName, L"MEG001");
    EXPECT_NE(first.isMEGMeasureChannel(), 0);
    EXPECT_EQ(first.getCoilCount(), 2);
    double x = 0, y = 0, z = 0;
    first.getMEGCoilqv(1)->getCoilPositionD(x, y, z);
    EXPECT_EQ(x, 11.0);
    EXPECT_EQ(z, 31.0);
    EXPECT_EQ(first.getDataWave()[0], 1.5);
    EXPECT_TRUE(std::isnan(first.getDataWave()[1])) << "null in samples stands for NaN";
    std::int64_t nRows = 0, nColumns = 0;
    const double* pSpectrum = first.getSpctmChnl(false, 0)->getSpctmDataPtr(0, &nRows, &nColumns);
    ASSERT_NE(pSpectrum, nullptr);
    EXPECT_EQ(nRows, 2);
    EXPECT_EQ(nColumns, 3);
    EXPECT_EQ(pSpectrum[1 * nColumns + 2], 5.0);
    EXPECT_TRUE(std::isnan(
        ppChannels[2]->getSpctmChnl(false, 0)->getSpctmDataPtr(0, nullptr, &nColumns)[4]));

    EXPECT_EQ(pData->isGoodChnl4Alltrials(0), 1);
    EXPECT_EQ(pData->isShowChnl4Alltrials(0), 1);
    EXPECT_EQ(pData->isGoodChnl4Alltrials(2), 0);
    EXPECT_EQ(pData->isShowChnl4Alltrials(2), 0);
    EXPECT_EQ(ppChannels[3]->isMEGMeasureChannel(), 0);
    EXPECT_EQ(ppChannels[4]->m_strChnlName, L"EEG\u00e9");
    EXPECT_EQ(ppChannels[4]->getDataWave(), nullptr);
    EXPECT_EQ(ppChannels[4]->getMEGCoilqv(0), nullptr);

    std::int64_t nSample = 0, nEnd = 0;
    pData->getSelect(nSample, nEnd);
    EXPECT_EQ(nSample, 2);
    EXPECT_EQ(pTrial->getCurntChnlIndx(), 2);
    CSpctmTrialqv* pSelection = pTrial->getSpctmTrial(false, 0);
    ASSERT_NE(pSelection, nullptr);
    EXPECT_EQ(pSelection->m_nSelectFreqBin, 4);
    EXPECT_EQ(pSelection->m_nSelectRow, 1);
    EXPECT_EQ(pSelection->m_nSelectColumn, 2);
    EXPECT_EQ(pSelection->m_nSelectTime, 1);

    CFiducialqv* pFiducials = pData->getFidWorkMeg();
    ASSERT_NE(pFiducials, nullptr);
    EXPECT_NE(pFiducials->m_FiduciaryPt[0].m_bSet, 0);
    EXPECT_EQ(pFiducials->m_FiduciaryPt[0].m_dY, 95.0);
    EXPECT_EQ(pFiducials->m_FiduciaryPt[1].m_bSet, 0);
    EXPECT_EQ(pFiducials->m_FiduciaryPt[5].m_dZ, 120.0);
}

TEST(RecordingJson, OptionalPartsHaveTheirDefaults) {
    std::string error;
    auto pData = loadRecordingJson(
        writeFile("minimal.json", R"({"channels": [{"name": "A", "kind": "misc"}]})"), error);
    ASSERT_NE(pData, nullptr) << error;
    CMDTrialqv* pTrial = pData->getTrialqv(-1);
    EXPECT_EQ(pTrial->getCurntChnlIndx(), -1);
    EXPECT_EQ(pTrial->getSpctmTrial(false, 0), nullptr);
    EXPECT_EQ(pData->getFidWorkMeg(), nullptr);
    EXPECT_EQ(pData->getSamplingRate(), 0.0);
    EXPECT_EQ(pData->isGoodChnl4Alltrials(0), 1);
}

struct SBadFile {
    const char* text;
    const char* message;
};

// Names the case after its expected message, in characters test names may carry.
void PrintTo(const SBadFile& bad, std::ostream* pOut) {
    for (const char* p = bad.message; *p; ++p)
        *pOut << (std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_');
}

class RecordingJsonErrors : public ::testing::TestWithParam<SBadFile> {};

// One message per problem, naming the file and where in it the problem is. The cases write
// JSON with single quotes for readability.
TEST_P(RecordingJsonErrors, RefusesWithOneClearMessage) {
    std::string text = GetParam().text;
    std::replace(text.begin(), text.end(), '\'', '"');
    const std::string path = writeFile("bad.json", text);
    std::string error;
    EXPECT_EQ(loadRecordingJson(path, error), nullptr);
    EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

#define MEG "{'name': 'M', 'kind': 'meg', "
#define SPECTRUM_2X3 "'spectrum': {'rows': 2, 'columns': 3, 'data': [1, 2, 3, 4, 5, 6]}}"
// clang-format off
INSTANTIATE_TEST_SUITE_P(ParseRules, RecordingJsonErrors, ::testing::Values(
    SBadFile{"", "not valid JSON: "},
    SBadFile{"{'channels': [", "not valid JSON: parse error at line 1"},
    SBadFile{"{'channels': [" MEG "'samples': [1e400]}]}", "not valid JSON: number overflow"},
    SBadFile{"[]", "the top level must be an object"},
    SBadFile{"{}", "'channels' is missing"},
    SBadFile{"{'channels': {}}", "'channels' must be a list"},
    SBadFile{"{'channels': [], 'chanels': []}", "unknown key 'chanels'"},
    SBadFile{"{'channels': [null, 3]}", "channel 1: must be an object"},
    SBadFile{"{'channels': [{'kind': 'meg'}]}", "channel 0: 'name' is missing"},
    SBadFile{"{'channels': [{'name': 'M', 'kind': 'MEG'}]}", "'kind' must be one of"},
    SBadFile{"{'channels': [" MEG "'smaples': []}]}", "channel 0: unknown key 'smaples'"},
    SBadFile{"{'channels': [" MEG "'good': 1}]}", "channel 0: 'good' must be true or false"},
    SBadFile{"{'channels': [" MEG "'coils': [1, 2, 3]}]}", "'coils' must be a list of [x, y, z]"},
    SBadFile{"{'channels': [" MEG "'coils': [[1, 2]]}]}", "'coils' must be a list of [x, y, z]"},
    SBadFile{"{'channels': [" MEG "'samples': [1, '2']}]}",
             "channel 0: 'samples' item 1 must be a number or null"},
    SBadFile{"{'channels': [" MEG "'samples': [1, 2, 3]}, " MEG "'samples': [1, 2]}]}",
             "channel 1: has 2 samples but channel 0 has 3"},
    SBadFile{"{'channels': [" MEG "'spectrum': {'rows': 2, 'columns': 3, 'data': [1]}}]}",
             "channel 0: spectrum 'data' has 1 values but rows x columns is 2 x 3"},
    SBadFile{"{'channels': [" MEG "'spectrum': {'rows': 0, 'columns': 3, 'data': []}}]}",
             "spectrum 'rows' must be a positive integer"},
    SBadFile{"{'channels': [" MEG SPECTRUM_2X3 ", " MEG
             "'spectrum': {'rows': 3, 'columns': 2, 'data': [1, 2, 3, 4, 5, 6]}}]}",
             "channel 1: spectrum is 3 x 2 but channel 0's is 2 x 3"},
    SBadFile{"{'selection': {'sample': 3}, 'channels': [" MEG "'samples': [1, 2, 3]}]}",
             "selection: 'sample' 3 is outside the samples (0 to 2)"},
    SBadFile{"{'selection': {'sample': 1}, 'channels': []}",
             "selection: 'sample' must be 0 when no channel has samples"},
    SBadFile{"{'selection': {'sample': 1.0}, 'channels': []}", "'sample' must be an integer"},
    SBadFile{"{'selection': {'bin': 6}, 'channels': [" MEG SPECTRUM_2X3 "]}",
             "selection: 'bin' 6 is outside the spectrum values (0 to 5)"},
    SBadFile{"{'selection': {'row': 2}, 'channels': [" MEG SPECTRUM_2X3 "]}",
             "selection: 'row' 2 is outside the spectrum rows (0 to 1)"},
    SBadFile{"{'selection': {'column': -1}, 'channels': [" MEG SPECTRUM_2X3 "]}",
             "selection: 'column' -1 is outside the spectrum columns (0 to 2)"},
    SBadFile{"{'selection': {'channel': 2}, 'channels': [null, null]}",
             "selection: 'channel' 2 is not -1 or a slot index (0 to 1)"},
    SBadFile{"{'fiducials': [null], 'channels': []}", "'fiducials' must be a list of six entries"},
    SBadFile{"{'fiducials': [null, null, [1, 2, 'z'], null, null, null], 'channels': []}",
             "fiducial 2: must be [x, y, z]"},
    SBadFile{"{'sampling_rate': -1, 'channels': []}", "'sampling_rate' must be a positive number"}));
// clang-format on
#undef SPECTRUM_2X3
#undef MEG

TEST(RecordingJson, DocumentedExampleLoadsAsDescribed) {
    const std::string doc = readFile(RECORDING_FORMAT_DOC);
    const std::size_t nStart = doc.find("```json\n");
    ASSERT_NE(nStart, std::string::npos);
    const std::size_t nEnd = doc.find("```", nStart + 8);
    std::string error;
    auto pData = loadRecordingJson(
        writeFile("documented.json", doc.substr(nStart + 8, nEnd - nStart - 8)), error);
    ASSERT_NE(pData, nullptr) << error;
    CMDTrialqv* pTrial = pData->getTrialqv(-1);
    CMDChannelqv** ppChannels = pTrial->getAllChannelPt();
    EXPECT_EQ(ppChannels[1], nullptr);
    EXPECT_EQ(pData->isGoodChnl4Alltrials(2), 0);
    std::int64_t nSample = 0, nEnd2 = 0, nColumns = 0;
    pData->getSelect(nSample, nEnd2);
    EXPECT_EQ(ppChannels[0]->getDataWave()[nSample], 310.0);
    CSpctmTrialqv* pSelection = pTrial->getSpctmTrial(false, 0);
    const double* pSpectrum =
        ppChannels[0]->getSpctmChnl(false, 0)->getSpctmDataPtr(0, nullptr, &nColumns);
    EXPECT_EQ(pSpectrum[pSelection->m_nSelectRow * nColumns + pSelection->m_nSelectColumn], 0.5);
}

TEST(RecordingJson, UnreadablePathsAreReported) {
    std::string error;
    const std::string missing = tempPath("no-such-recording.json");
    EXPECT_EQ(loadRecordingJson(missing, error), nullptr);
    EXPECT_EQ(error, missing + ": cannot open file: No such file or directory");
    EXPECT_EQ(loadRecordingJson(::testing::TempDir(), error), nullptr);
    EXPECT_NE(error.find("is a directory"), std::string::npos) << error;
}

std::vector<double> valuesOf(const double* pValues, std::int64_t nCount) {
    return pValues ? std::vector<double>(pValues, pValues + nCount) : std::vector<double>();
}

void expectSameRecording(CMEGDataqv& a, CMEGDataqv& b) {
    CMDTrialqv* pA = a.getTrialqv(-1);
    CMDTrialqv* pB = b.getTrialqv(-1);
    ASSERT_EQ(pA->getTotalChannel(), pB->getTotalChannel());
    EXPECT_EQ(pA->getCurntChnlIndx(), pB->getCurntChnlIndx());
    EXPECT_EQ(a.getSamplingRate(), b.getSamplingRate());
    std::int64_t nA = 0, nB = 0, nEnd = 0;
    a.getSelect(nA, nEnd);
    b.getSelect(nB, nEnd);
    EXPECT_EQ(nA, nB);
    for (int i = 0; i < pA->getTotalChannel(); ++i) {
        CMDChannelqv* pCa = pA->getAllChannelPt()[i];
        CMDChannelqv* pCb = pB->getAllChannelPt()[i];
        ASSERT_EQ(pCa == nullptr, pCb == nullptr) << i;
        if (!pCa)
            continue;
        EXPECT_EQ(pCa->m_strChnlName, pCb->m_strChnlName);
        EXPECT_EQ(pCa->getChnlKind(), pCb->getChnlKind());
        EXPECT_EQ(a.isGoodChnl4Alltrials(i), b.isGoodChnl4Alltrials(i));
        EXPECT_EQ(pCa->getCoilCount(), pCb->getCoilCount());
        EXPECT_EQ(valuesOf(pCa->getDataWave(), pCa->getSampleCount()),
                  valuesOf(pCb->getDataWave(), pCb->getSampleCount()));
        std::int64_t nRows = 0, nColumns = 0, nRowsB = 0, nColumnsB = 0;
        CSpctmChnlqv* pSa = pCa->getSpctmChnl(false, 0);
        CSpctmChnlqv* pSb = pCb->getSpctmChnl(false, 0);
        ASSERT_EQ(pSa == nullptr, pSb == nullptr);
        if (pSa) {
            EXPECT_EQ(valuesOf(pSa->getSpctmDataPtr(0, &nRows, &nColumns), nRows * nColumns),
                      valuesOf(pSb->getSpctmDataPtr(0, &nRowsB, &nColumnsB), nRowsB * nColumnsB));
        }
    }
    CSpctmTrialqv* pSelA = pA->getSpctmTrial(false, 0);
    CSpctmTrialqv* pSelB = pB->getSpctmTrial(false, 0);
    ASSERT_NE(pSelA, nullptr);
    ASSERT_NE(pSelB, nullptr);
    EXPECT_EQ(pSelA->m_nSelectFreqBin, pSelB->m_nSelectFreqBin);
    EXPECT_EQ(pSelA->m_nSelectRow, pSelB->m_nSelectRow);
    EXPECT_EQ(pSelA->m_nSelectColumn, pSelB->m_nSelectColumn);
    EXPECT_EQ(pSelA->m_nSelectTime, pSelB->m_nSelectTime);
    for (int k = 0; k < CFiducialqv::nFiducialPts; ++k)
        EXPECT_EQ(a.getFidWorkMeg()->m_FiduciaryPt[k].m_dX,
                  b.getFidWorkMeg()->m_FiduciaryPt[k].m_dX);
}

TEST(RecordingJson, SyntheticRecordingSurvivesARoundTrip) {
    CSyntheticOptionsqv options;
    options.nMegChannels = 40;
    auto pOriginal = makeSyntheticRecording(options);
    ASSERT_NE(pOriginal, nullptr);
    pOriginal->getTrialqv(-1)->getAllChannelPt()[0]->m_strChnlName = L"MEG\u00e9\u4e2d";
    const std::string path = tempPath("round-trip.json");
    std::string error;
    ASSERT_EQ(saveRecordingJson(*pOriginal, path, error), 1) << error;
    auto pLoaded = loadRecordingJson(path, error);
    ASSERT_NE(pLoaded, nullptr) << error;
    expectSameRecording(*pOriginal, *pLoaded);
    // Writing what was read gives the same file: nothing is lost or reformatted.
    const std::string again = tempPath("round-trip-again.json");
    ASSERT_EQ(saveRecordingJson(*pLoaded, again, error), 1) << error;
    EXPECT_EQ(readFile(path), readFile(again));
}

TEST(RecordingJson, NonFiniteSamplesAreWrittenAsNull) {
    std::string error;
    auto pData = loadRecordingJson(writeFile("nan.json", kSmallRecording), error);
    ASSERT_NE(pData, nullptr) << error;
    const std::string path = tempPath("nan-saved.json");
    ASSERT_EQ(saveRecordingJson(*pData, path, error), 1) << error;
    EXPECT_NE(readFile(path).find("[1.5,null,-2.0,4.0]"), std::string::npos) << readFile(path);
    auto pAgain = loadRecordingJson(path, error);
    ASSERT_NE(pAgain, nullptr) << error;
    EXPECT_TRUE(std::isnan(pAgain->getTrialqv(-1)->getAllChannelPt()[0]->getDataWave()[1]));
}

TEST(RecordingJson, SaveRefusesWhatWouldNotLoadAndKeepsTheOldFile) {
    const std::string path = writeFile("keep.json", "previous contents");
    std::string error;
    CMEGDataqv empty;
    EXPECT_EQ(saveRecordingJson(empty, path, error), 0);
    EXPECT_EQ(error, path + ": cannot save: the recording has no current trial");

    CMEGDataqv data;
    CMDTrialqv* pTrial = data.addTrial();
    pTrial->setTotalChannel(2);
    pTrial->createChannel(0)->setDataWave({1, 2, 3});
    pTrial->createChannel(1)->setDataWave({1, 2});
    EXPECT_EQ(saveRecordingJson(data, path, error), 0);
    EXPECT_EQ(error, path + ": cannot save: channel 1: has 2 samples but channel 0 has 3");
    EXPECT_EQ(readFile(path), "previous contents");

    const std::string unwritable = tempPath("no-such-folder/out.json");
    pTrial->clearChannel(1);
    EXPECT_EQ(saveRecordingJson(data, unwritable, error), 0);
    EXPECT_EQ(error.rfind(unwritable + ": cannot write file", 0), 0u) << error;
    EXPECT_FALSE(std::filesystem::exists(unwritable));
}

} // namespace
