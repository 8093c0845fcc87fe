#include "bscmagsns.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "recordingjson.h"
#include "spctmchnl.h"
#include "spctmtrial.h"
#include "syntheticrecording.h"
#include "testtempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <tuple>

namespace {

std::string tempPath(const std::string& name) {
    return (testTempDir() / name).string();
}

std::string writeFile(const std::string& name, const std::string& text) {
    const std::string path = tempPath(name);
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The format document's example, loaded by the tests so that it cannot drift from the reader.
std::string documentedExample() {
    const std::string doc = readFile(RECORDING_FORMAT_DOC);
    const std::size_t nStart = doc.find("```json\n") + 8;
    return writeFile("documented.json", doc.substr(nStart, doc.find("```", nStart) - nStart));
}

// What the document says of its example; checked on the loaded file and again after a save.
void expectDocumentedExample(CMEGDataqv& data) {
    int nChannels = 0;
    std::int64_t nSamples = 0, nSample = 0, nEnd = 0, nColumns = 0;
    CMDTrialqv* pTrial = nullptr;
    ASSERT_GE(data.getCurntTrialCSD(&nChannels, &nSamples, &pTrial), 0);
    EXPECT_EQ(std::make_tuple(nChannels, nSamples, data.getSamplingRate()),
              std::make_tuple(5, std::int64_t{3}, 1000.0));
    CMDChannelqv** ppChannels = pTrial->getAllChannelPt();
    ASSERT_TRUE(ppChannels[0] && !ppChannels[1] && ppChannels[2] && ppChannels[3] && ppChannels[4]);
    EXPECT_EQ(ppChannels[0]->m_strChnlName, L"MEG001");
    EXPECT_NE(ppChannels[0]->isMEGMeasureChannel(), 0);
    EXPECT_EQ(ppChannels[3]->getChnlKind(), CMDChannel0SensorInfo::kindEEG);
    EXPECT_EQ(ppChannels[4]->getChnlKind(), CMDChannel0SensorInfo::kindStim);
    double x = 0, y = 0, z = 0;
    ppChannels[0]->getMEGCoilqv(0)->getCoilPositionD(x, y, z);
    EXPECT_EQ(std::make_tuple(x, y, z), std::make_tuple(-40.0, 60.0, 120.0));
    EXPECT_EQ(ppChannels[4]->getMEGCoilqv(0), nullptr);
    EXPECT_TRUE(std::isnan(ppChannels[2]->getDataWave()[1])) << "null in samples stands for NaN";
    EXPECT_EQ(std::make_tuple(data.isGoodChnl4Alltrials(0), data.isGoodChnl4Alltrials(2),
                              data.isShowChnl4Alltrials(2)),
              std::make_tuple(1, 0, 1));
    // The maps show sample 1 (310 fT at MEG001), element 2 and the cell at row 1, column 2.
    data.getSelect(nSample, nEnd);
    EXPECT_EQ(ppChannels[0]->getDataWave()[nSample], 310.0);
    EXPECT_EQ(pTrial->getCurntChnlIndx(), 0);
    CSpctmTrialqv* pSelection = pTrial->getSpctmTrial(false, 0);
    ASSERT_NE(pSelection, nullptr);
    const double* pSpectrum =
        ppChannels[0]->getSpctmChnl(false, 0)->getSpctmDataPtr(0, nullptr, &nColumns);
    EXPECT_EQ(pSpectrum[pSelection->m_nSelectFreqBin], 1.0);
    EXPECT_EQ(pSpectrum[pSelection->m_nSelectRow * nColumns + pSelection->m_nSelectColumn], 0.5);
    const CFiduciaryPtqv* pFiducials = data.getFidWorkMeg()->m_FiduciaryPt;
    EXPECT_TRUE(pFiducials[1].m_dX == -72.0 && pFiducials[2].m_bSet && !pFiducials[3].m_bSet);
    // Sample 1 at 0 ms, bin 2 at 20 Hz, row 1 at 0 s and row 0 without a time.
    EXPECT_EQ(data.getFirstSampleTime(), -0.001);
    EXPECT_EQ(data.getSpctmFreqsHz(), (std::vector<double>{0.0, 10.0, 20.0}));
    const std::vector<double>& rowTimes = data.getSpctmRowTimesSec();
    ASSERT_EQ(rowTimes.size(), 2u);
    EXPECT_TRUE(std::isnan(rowTimes[0]) && rowTimes[1] == 0.0);
}

TEST(RecordingJson, DocumentedExampleLoadsAndSavesAsDescribed) {
    std::string error;
    auto pData = loadRecordingJson(documentedExample(), error);
    ASSERT_NE(pData, nullptr) << error;
    expectDocumentedExample(*pData);
    // Beyond the example: full-precision numbers, a name beyond ASCII, a second coil and a
    // hidden channel must come back as well.
    CMDChannelqv** ppChannels = pData->getTrialqv(-1)->getAllChannelPt();
    ppChannels[0]->getDataWave()[2] = 1.0 / 3.0;
    ppChannels[3]->addCoil(0.1, -2.0 / 3.0, 1e10 / 7.0);
    ppChannels[4]->m_strChnlName = L"STI\u00e9\u4e2d";
    pData->setShowChnl4Alltrials(0, 0);
    ASSERT_EQ(pData->setUnit("fT/cm"), 1);
    const std::string path = tempPath("saved.json"), again = tempPath("again.json");
    ASSERT_EQ(saveRecordingJson(*pData, path, error), 1) << error;
    EXPECT_NE(readFile(path).find("[0.0,null,0.0]"), std::string::npos) << "NaN is written as null";
    auto pLoaded = loadRecordingJson(path, error);
    ASSERT_NE(pLoaded, nullptr) << error;
    expectDocumentedExample(*pLoaded);
    ppChannels = pLoaded->getTrialqv(-1)->getAllChannelPt();
    EXPECT_EQ(ppChannels[0]->getDataWave()[2], 1.0 / 3.0);
    EXPECT_EQ(ppChannels[4]->m_strChnlName, L"STI\u00e9\u4e2d");
    EXPECT_EQ(pLoaded->isShowChnl4Alltrials(0), 0);
    EXPECT_EQ(pLoaded->getUnit(), "fT/cm");
    ASSERT_EQ(ppChannels[3]->getCoilCount(), 2);
    double x = 0, y = 0, z = 0;
    ppChannels[3]->getMEGCoilqv(1)->getCoilPositionD(x, y, z);
    EXPECT_EQ(std::make_tuple(x, y, z), std::make_tuple(0.1, -2.0 / 3.0, 1e10 / 7.0));
    // Writing what was read gives the same file: nothing is lost or reformatted.
    ASSERT_EQ(saveRecordingJson(*pLoaded, again, error), 1) << error;
    EXPECT_EQ(readFile(again), readFile(path));
    ASSERT_EQ(saveRecordingJson(*makeSyntheticRecording(), again, error), 1)
        << "the synthetic recording keeps the rules too: " << error;
    EXPECT_NE(loadRecordingJson(again, error), nullptr) << error;

    // Without the optional parts: no current channel, no fiducial set, rate and axes unknown.
    pData = loadRecordingJson(writeFile("minimal.json", R"({"channels": [null]})"), error);
    ASSERT_NE(pData, nullptr) << error;
    EXPECT_EQ(pData->getTrialqv(-1)->getCurntChnlIndx(), -1);
    EXPECT_TRUE(pData->getFidWorkMeg() == nullptr && pData->getSamplingRate() == 0.0);
    EXPECT_TRUE(pData->getFirstSampleTime() == 0.0 && pData->getSpctmFreqsHz().empty() &&
                pData->getSpctmRowTimesSec().empty());
    ASSERT_EQ(saveRecordingJson(*pData, path, error), 1) << error;
    EXPECT_EQ(pData->getUnit(), "fT");
    EXPECT_EQ(readFile(path).find("first_sample_time"), std::string::npos)
        << "a time of 0 is the default and is left out";
    EXPECT_EQ(readFile(path).find("\"unit\""), std::string::npos) << "so is the unit fT";
}

// One line per problem, naming the file and where in it the problem is; one case per rule.
// The cases write JSON with single quotes for readability.
TEST(RecordingJson, RefusesEachBrokenRuleAndFileProblemWithOneClearMessage) {
#define MEG "{'name': 'M', 'kind': 'meg', "
#define SPECTRUM(R, C, DATA) "'spectrum': {'rows': " #R ", 'columns': " #C ", 'data': " DATA "}}"
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"{'channels': [", "not valid JSON: parse error at line 1"},
        {"[]", "the top level must be an object"},
        {"{}", "'channels' is missing"},
        {"{'channels': [], 'chanels': []}", "unknown key 'chanels'"},
        // A key with a line break (found by fuzzing) is quoted with the break escaped.
        {"{'\\r\\n':[], 'channels': []}", "unknown key '\\x0D\\x0A'"},
        {"{'channels': [null, 3]}", "channel 1: must be an object"},
        {"{'channels': [{'name': 'M', 'kind': 'MEG'}]}", "channel 0: 'kind' must be one of"},
        {"{'channels': [" MEG "'good': 1}]}", "channel 0: 'good' must be true or false"},
        {"{'channels': [" MEG "'coils': [[1, 2]]}]}", "'coils' must be a list of [x, y, z]"},
        {"{'channels': [" MEG "'samples': [1, '2']}]}", "'samples' item 1 must be a number"},
        {"{'channels': [" MEG "'samples': [1, 2, 3]}, " MEG "'samples': [1, 2]}]}",
         "channel 1: has 2 samples but channel 0 has 3"},
        {"{'channels': [" MEG SPECTRUM(2, 3, "[1]") "]}",
         "channel 0: spectrum 'data' has 1 values but rows x columns is 2 x 3"},
        {"{'channels': [" MEG SPECTRUM(0, 3, "[]") "]}", "spectrum 'rows' must be a positive"},
        {"{'channels': [" MEG SPECTRUM(2, 3, "[1, 2, 3, 4, 5, 6]") ", " MEG
         SPECTRUM(3, 2, "[1, 2, 3, 4, 5, 6]") "]}",
         "channel 1: spectrum is 3 x 2 but channel 0's is 2 x 3"},
        {"{'selection': {'sample': 3}, 'channels': [" MEG "'samples': [1, 2, 3]}]}",
         "selection: 'sample' 3 is outside the samples (0 to 2)"},
        {"{'selection': {'sample': 1}, 'channels': []}",
         "selection: 'sample' must be 0 when no channel has samples"},
        {"{'selection': {'sample': 1.0}, 'channels': []}", "'sample' must be an integer"},
        {"{'selection': {'bin': 6}, 'channels': [" MEG SPECTRUM(2, 3, "[1, 2, 3, 4, 5, 6]") "]}",
         "selection: 'bin' 6 is outside the spectrum values (0 to 5)"},
        {"{'selection': {'channel': 2}, 'channels': [null, null]}",
         "selection: 'channel' 2 is not -1 or a slot index (0 to 1)"},
        {"{'fiducials': [null], 'channels': []}", "'fiducials' must be a list of six entries"},
        {"{'sampling_rate': -1, 'channels': []}", "'sampling_rate' must be a positive number"},
        {"{'first_sample_time': '0', 'channels': []}", "'first_sample_time' must be a finite"},
        {"{'unit': '', 'channels': []}", "'unit' must be a non-empty string of at most 32"},
        {"{'unit': ['fT'], 'channels': []}", "'unit' must be a non-empty string"},
        {"{'frequencies': [0, 1], 'channels': [" MEG SPECTRUM(2, 3, "[1, 2, 3, 4, 5, 6]") "]}",
         "'frequencies' has 2 entries but the spectra have 3 columns"},
        {"{'frequencies': [0, null, 2], 'channels': [" MEG
         SPECTRUM(2, 3, "[1, 2, 3, 4, 5, 6]") "]}",
         "'frequencies' item 1 must be a finite number"},
        {"{'row_times': [null, 1, 2], 'channels': [" MEG SPECTRUM(2, 3, "[1, 2, 3, 4, 5, 6]") "]}",
         "'row_times' has 3 entries but the spectra have 2 rows"},
        {"{'row_times': [0], 'channels': []}",
         "'row_times' has 1 entries but no channel has a spectrum"}};
    // clang-format on
#undef SPECTRUM
#undef MEG
    for (const auto& c : cases) {
        std::string text = c.first, error;
        std::replace(text.begin(), text.end(), '\'', '"');
        const std::string path = writeFile("bad.json", text);
        EXPECT_EQ(loadRecordingJson(path, error), nullptr) << c.second;
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.second), std::string::npos) << error;
        EXPECT_EQ(error.find_first_of("\r\n"), std::string::npos) << error;
    }

    // Files that cannot be read or written; a refused save keeps the old file.
    std::string error;
    const std::string missing = tempPath("no-such-recording.json");
    EXPECT_EQ(loadRecordingJson(missing, error), nullptr);
    EXPECT_EQ(error, missing + ": cannot open file: No such file or directory");
    EXPECT_EQ(loadRecordingJson(::testing::TempDir(), error), nullptr);
    EXPECT_NE(error.find("is a directory"), std::string::npos) << error;

    const std::string path = writeFile("keep.json", "previous contents");
    CMEGDataqv data;
    EXPECT_EQ(saveRecordingJson(data, path, error), 0);
    EXPECT_EQ(error, path + ": cannot save: the recording has no current trial");
    CMDTrialqv* pTrial = data.addTrial();
    pTrial->setTotalChannel(2);
    pTrial->createChannel(0)->setDataWave({1, 2, 3});
    pTrial->createChannel(1)->setDataWave({1, 2});
    EXPECT_EQ(saveRecordingJson(data, path, error), 0);
    EXPECT_EQ(error, path + ": cannot save: channel 1: has 2 samples but channel 0 has 3");
    EXPECT_EQ(readFile(path), "previous contents");
    // A save checks with the reader's rules, whose messages the table above goes through.
    pTrial->clearChannel(1);
    const std::string unwritable = tempPath("no-such-folder/out.json");
    EXPECT_EQ(saveRecordingJson(data, unwritable, error), 0);
    EXPECT_EQ(error.rfind(unwritable + ": cannot write file", 0), 0u) << error;
}

} // namespace
