// A long recording read a page at a time from its store, as the bridge writes it.

#include "mdchannel.h"
#include "mdtrial.h"
#include "pagedrecording.h"
#include "recordingjson.h"
#include "testtempdir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace {

const int nColumns = 3;
const std::int64_t nTotal = 25;

// The value of column c at recording sample s: every sample tells where it came from.
float stored(std::int64_t s, int c) {
    return static_cast<float>(100 * c + s);
}

// A .npy header as numpy.save writes it, then nWritten of the rows.
void writeStore(const std::string& path, std::int64_t nRows, std::int64_t nWritten,
                std::int64_t nFirst = 0) {
    std::string text = "{'descr': '<f4', 'fortran_order': False, 'shape': (" +
                       std::to_string(nRows) + ", " + std::to_string(nColumns) + "), }";
    text += std::string(63 - (10 + text.size()) % 64, ' ') + "\n";
    std::ofstream out(path, std::ios::binary);
    out.write("\x93NUMPY\x01\x00", 8);
    out.put(static_cast<char>(text.size() & 0xFF)).put(static_cast<char>(text.size() >> 8));
    out << text;
    for (std::int64_t s = 0; s < nWritten; ++s)
        for (int c = 0; c < nColumns; ++c) {
            const float v = stored(nFirst + s, c);
            out.write(reinterpret_cast<const char*>(&v), sizeof v);
        }
}

// Slot 1 is a stimulus channel; the store's columns fill slots 0, 1 and 2.
std::string header(const std::string& store, const std::string& extra = "", std::int64_t nFirst = 0,
                   const std::string& events = "[[4, 5], [20, 7]]") {
    return R"({"sampling_rate": 2, "first_sample_time": 1.5, "selection": {"sample": 13},
  "store": {"file": ")" +
           store + R"(", "columns": [0, 1, 2], "first": )" + std::to_string(nFirst) +
           R"(, "total": 25)" + extra + R"(},
  "events": )" +
           events + R"(,
  "annotations": [{"sample": 8, "samples": 3, "description": "BAD_segment"}],
  "overview": {"rate": 1, "gfp": [1, 2, null]},
  "channels": [{"name": "A", "kind": "meg", "coils": [[0, 0, 100]]},
               {"name": "STI", "kind": "stim"},
               {"name": "B", "kind": "meg", "coils": [[0, 50, 90]]}]})";
}

std::unique_ptr<CPagedRecording> open(const std::string& text, std::string& error) {
    const std::string path = (testTempDir() / "paged.json").string();
    std::ofstream(path) << text;
    std::unique_ptr<CMEGDataqv> pData = loadRecordingJson(path, error);
    return std::unique_ptr<CPagedRecording>(dynamic_cast<CPagedRecording*>(pData.release()));
}

// The value the time-domain map reads for slot c at the selected sample.
double selectedValue(CPagedRecording& data, int c) {
    std::int64_t nSample = 0, nEnd = 0;
    data.getSelect(nSample, nEnd);
    return data.getTrialqv(-1)->getAllChannelPt()[c]->getDataWave()[nSample];
}

} // namespace

// How pages follow the cursor and the page keys through the demo window is the window's test; here,
// what a page holds and what is refused.
TEST(PagedRecording, PagesFollowTheSelectionAndHoldTheStoresValues) {
    writeStore((testTempDir() / "whole.npy").string(), nTotal, nTotal);
    std::string error;
    auto pData = open(header("whole.npy"), error);
    ASSERT_TRUE(pData) << error;
    EXPECT_TRUE(pData->getTotalSamples() == nTotal && pData->isComplete());
    // The first page holds the selected sample 13; how long a page is, the demo window's test.
    EXPECT_EQ(selectedValue(*pData, 2), stored(13, 2));

    ASSERT_TRUE(pData->setPage(0, 10, error)) << error;
    EXPECT_EQ(pData->getSelectedSample(), 0) << "13 left the page: its first sample";
    // Sample 23 is on the third 10-sample page, clipped at the recording's end.
    ASSERT_TRUE(pData->selectSample(23, error)) << error;
    EXPECT_EQ(pData->getTrialqv(-1)->getSampleCount(), 5);
    EXPECT_DOUBLE_EQ(pData->getFirstSampleTime(), 1.5 + 20 / 2.0);
    EXPECT_EQ(selectedValue(*pData, 1), stored(23, 1)) << "every column, the stimulus too";

    for (std::int64_t nBad : {std::int64_t(-1), nTotal}) {
        EXPECT_FALSE(pData->selectSample(nBad, error));
        EXPECT_NE(error.find("not in the converted recording"), std::string::npos) << error;
    }
    EXPECT_FALSE(pData->setPage(0, 0, error));
    EXPECT_EQ(pData->getSelectedSample(), 23) << "a refused page leaves everything";
    // Annotations and the overview reach the demo window, whose tests list and draw them.
    ASSERT_EQ(pData->getEvents().size(), 2u);
    EXPECT_EQ(pData->getEvents()[1].nCode, 7);
}

// A store still being written, and a store of one page alone, hold only the samples they have.
TEST(PagedRecording, AGrowingStoreOrALonePageIsReadOnlyAsFarAsItHoldsSamples) {
    writeStore((testTempDir() / "growing.npy").string(), nTotal, 7);
    // The converter is part way through the next sample.
    std::ofstream(testTempDir() / "growing.npy", std::ios::app | std::ios::binary) << "half";
    std::string error;
    auto pData = open(header("growing.npy", R"(, "growing": true)"), error);
    ASSERT_TRUE(pData) << error;
    EXPECT_FALSE(pData->isComplete());
    EXPECT_EQ(pData->getStoredEnd(), 7);
    EXPECT_EQ(pData->getSelectedSample(), 6) << "the selection waits at the last written sample";
    EXPECT_FALSE(pData->selectSample(7, error));

    writeStore((testTempDir() / "page.npy").string(), 10, 10, 10);
    pData = open(header("page.npy", "", 10), error);
    ASSERT_TRUE(pData) << error;
    EXPECT_EQ(pData->getStoredFirst(), 10);
    EXPECT_EQ(selectedValue(*pData, 0), stored(13, 0));
    EXPECT_FALSE(pData->selectSample(9, error));
    EXPECT_FALSE(pData->selectSample(20, error));
}

TEST(PagedRecording, ADamagedStoreOrHeaderIsOneLine) {
    const std::string dir = testTempDir().string();
    writeStore(dir + "/short.npy", nTotal, 20);
    writeStore(dir + "/long.npy", nTotal, nTotal + 1);
    writeStore(dir + "/whole.npy", nTotal, nTotal);
    std::ofstream(dir + "/text.npy") << "not numbers";
    const struct {
        std::string strText;
        const char* pszExpected;
    } cases[] = {
        {header("short.npy"), "holds 20 of its 25 samples"},
        {header("long.npy"), "is larger than its 25 samples: it is damaged"},
        {header("missing.npy"), "cannot open the sample store"},
        {header("text.npy"), "is not a NumPy .npy file"},
        {header("whole.npy", "", 1), "do not fit in the recording's 25"},
        {R"({"store": {"file": "whole.npy", "columns": [0], "first": 0, "total": 25},
            "channels": [null]})",
         "has 3 channels but its header names 1"},
        {R"({"store": {"file": "whole.npy", "columns": [0, 1, 2], "first": 0, "total": 25},
            "channels": [{"name": "A", "kind": "meg", "samples": [1]}]})",
         "'samples' cannot be given when a store holds the samples"},
        {R"({"events": [], "channels": []})", "'events' belongs to a recording with a 'store'"},
        {header("whole.npy", "", 0, "[[4]]"), "event 0: must be"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(open(c.strText, error));
        EXPECT_NE(error.find(c.pszExpected), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}
