#include "glcontextfixture.h"
#include "rendertestsupport.h"

#include "mdchannel.h"
#include "mdtrial.h"
#include "spctmtrial.h"

#include <GL/gl.h>

#include <cmath>

namespace {

// A recording whose current-trial query fails the way a host's might, and whose trial is pTrial.
class CFailingRecording : public CMEGDataqv {
public:
    CMDTrialqv* getTrialqv(int) override { return pTrial; }
    int nStatus = -1;
    int nChannels = 0;
    std::int64_t nSamples = 0;
    CMDTrialqv* pTrial = nullptr;
    int getSelect(std::int64_t& nSample, std::int64_t& nSampleEnd) override {
        nSample = nSampleEnd = 1;
        return 1;
    }
    int getCurntTrialCSD(int* pChannels, std::int64_t* pSamples, CMDTrialqv** ppTrial) override {
        *pChannels = nChannels;
        *pSamples = nSamples;
        *ppTrial = pTrial;
        return nStatus;
    }
};

// The time-domain (0), frequency (1) or spectral (2) loader.
int load(CShow3DCntMapqv& map, int nLoader, CMEGDataqv* pData) {
    return nLoader == 0   ? map.setMegData(pData)
           : nLoader == 1 ? map.setMegDataFrqc(pData)
                          : map.setMegDataSpctm(pData);
}

TEST(RendererDefaults, FiducialSizeIsReportedTruncated) {
    CShow3DCntMapqv map;
    EXPECT_EQ(map.setShowFiducialPtsSize(7.9), 7);
    EXPECT_EQ(map.setShowFiducialPtsSize(-2.5), -2);
    EXPECT_EQ(map.getShowFiducialPtsSize(), -2.5);
    EXPECT_EQ(map.setShowFiducialPtsSize(NAN), 0);
    EXPECT_EQ(map.setShowFiducialPtsSize(1e300), 2147483647);
}

// Loads with nothing to load return 0, say nothing and keep the range: no recording clears the
// pointers, no spectral result keeps recording and trial, no trial holds the recording alone.
TEST(RendererLoad, LoadsWithNothingToLoadReturnZeroAndKeepTheRange) {
    auto pData = makeTestRecording({at(0, 0, 0, 1.0)});
    CMDTrialqv* pTrial = pData->getTrialqv(-1);
    CMEGDataqv noTrial;
    const struct {
        const char* pszName;
        int nLoader; // time domain, frequency, spectral
        CMEGDataqv* pData;
        int nSelector;
        CMDTrialqv* pTrialHeld;
    } cases[] = {{"no recording", 0, nullptr, 0, nullptr},
                 {"no recording, frequency", 1, nullptr, 0, nullptr},
                 {"no recording, spectral", 2, nullptr, 0, nullptr},
                 {"no frequency result", 1, pData.get(), 3, pTrial},
                 {"no spectral result", 2, pData.get(), 3, pTrial},
                 {"no trial", 1, &noTrial, 0, nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        CShow3DCntMapqv map;
        ASSERT_EQ(map.setMegData(pData.get()), 1);
        map.m_nSpctmSelector = c.nSelector;
        map.m_dColorMax = 7.0;
        CMessageRecorder messages;
        EXPECT_EQ(load(map, c.nLoader, c.pData), 0);
        EXPECT_EQ(map.m_pMEGData, c.pData);
        EXPECT_EQ(map.m_pTrial, c.pTrialHeld);
        EXPECT_EQ(map.m_dColorMax, 7.0);
        EXPECT_TRUE(messages.texts().empty());
    }
}

// A failed trial query is reported once; a trial it still gives is loaded, none leaves the
// recording held and nothing to draw from.
TEST(RendererLoad, BadTrialQueriesAreReportedOnce) {
    auto pReal = makeTestRecording({at(0, 0, 0, 3.0), at(0, 0, 0, -1.0), at(0, 0, 0, 2.0)});
    const struct {
        const char* pszName;
        int nStatus, nChannels;
        bool bTrial;
    } cases[] = {
        {"no trial", -1, 3, false}, {"zero count", 0, 0, true}, {"negative status", -3, 3, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        CMessageRecorder messages;
        CFailingRecording data;
        data.nStatus = c.nStatus;
        data.nChannels = c.nChannels;
        data.nSamples = 3;
        data.pTrial = c.bTrial ? pReal->getTrialqv(-1) : nullptr;
        CShow3DCntMapqv map;
        EXPECT_EQ(map.setMegData(&data), c.bTrial ? 1 : 0);
        EXPECT_EQ(messages.texts(),
                  std::vector<std::string>{"setMegData Data error: sample3 channel:" +
                                           std::to_string(c.nChannels) + "!"});
        EXPECT_EQ(map.m_pMEGData, &data);
        EXPECT_EQ(map.m_dColorMax, c.bTrial ? 3.0 : 0.0);
    }
}

TEST(RendererLoad, RawExtremesOverQualifyingChannels) {
    struct SCase {
        const char* pszName;
        std::vector<STestChannel> channels;
        double dMin, dMax;
    };
    const STestChannel eeg = without(&STestChannel::bMeg, at(0, 0, 0, 100.0));
    const STestChannel noWave = without(&STestChannel::bWave, at(0, 0, 0, -100.0));
    // The loader does not ask for the coil.
    const STestChannel noCoil = without(&STestChannel::bCoil, at(0, 0, 0, 50.0));
    const SCase cases[] = {
        {"three", {at(0, 0, 0, 3.0), at(0, 0, 0, -1.0), at(0, 0, 0, 2.0)}, -1.0, 3.0},
        {"skipped", {emptySlot(), eeg, noWave, at(0, 0, 0, 1.0), at(0, 0, 0, 2.0)}, 1.0, 2.0},
        {"coil not needed", {at(0, 0, 0, 1.0), noCoil}, 1.0, 50.0},
        {"none qualifies", {emptySlot(), eeg}, 0.0, 0.0},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.pszName);
        auto pData = makeTestRecording(c.channels);
        CShow3DCntMapqv map;
        map.m_dColorMin = map.m_dColorMax = 99.0;
        EXPECT_EQ(map.setMegData(pData.get()), 1);
        EXPECT_EQ(map.m_dColorMin, c.dMin);
        EXPECT_EQ(map.m_dColorMax, c.dMax);
    }
    // A host's recording may select a sample past the end of a channel's wave: the channel has
    // no value there (what it held before, still in memory past its end, is never read).
    auto pReal = makeTestRecording({at(0, 0, 0, 1.0), at(0, 0, 0, 2.0)});
    CMDChannelqv* pShort = pReal->getTrialqv(-1)->getAllChannelPt()[1];
    pShort->setDataWave({-999.0, 500.0, -999.0});
    pShort->setDataWave({-999.0});
    CFailingRecording data;
    data.nStatus = data.nChannels = 1;
    data.pTrial = pReal->getTrialqv(-1);
    CShow3DCntMapqv map;
    EXPECT_EQ(map.setMegData(&data), 1);
    EXPECT_EQ(map.m_dColorMax, 1.0);
}

// Each loader takes its own element's extremes (the sample, the bin, the cell counted from 0) over
// channels that have it; with autofit off the user's range stays.
TEST(RendererLoad, EachLoaderFitsItsOwnElementUnlessAutofitIsOff) {
    auto pData = makeTestRecording({at(0, 0, 0, 1.0), at(0, 0, 0, 4.0),
                                    without(&STestChannel::bSpectral, at(0, 0, 0, -50.0))});
    const int nCell = nTestSelectedRow * 4 + nTestSelectedColumn;
    const std::pair<double, double> fitted[] = {
        {-50.0, 4.0}, {1.0 + nTestSelectedBin, 4.0 + nTestSelectedBin}, {1.0 + nCell, 4.0 + nCell}};
    for (int nLoader = 0; nLoader < 3; ++nLoader) {
        for (int bAutofit : {1, 0}) {
            SCOPED_TRACE(testing::Message() << "loader " << nLoader << " autofit " << bAutofit);
            CShow3DCntMapqv map;
            map.m_bAutofitColor = bAutofit;
            map.m_dColorMin = -8.0;
            map.m_dColorMax = 8.0;
            EXPECT_EQ(load(map, nLoader, pData.get()), 1);
            EXPECT_EQ(std::make_pair(map.m_dColorMin, map.m_dColorMax),
                      bAutofit ? fitted[nLoader] : std::make_pair(-8.0, 8.0));
        }
    }
}

TEST(RendererLoad, FrequencyBinComesFromTheSelectionQuery) {
    // The loader asks the spectral result for its bin, while the range check reads the public
    // field; a host may answer the two differently.
    class CQueriedBin : public CSpctmTrialqv {
    public:
        int getTrialSpctmSelectTimeFreqBB(std::int64_t& nTime, std::int64_t& nBin) override {
            nTime = 0;
            nBin = 7;
            return 1;
        }
    };
    class CTrialView : public CMDTrialqv {
    public:
        CMDTrialqv* pReal = nullptr;
        CSpctmTrialqv* pSpctm = nullptr;
        int getTotalChannel() override { return pReal->getTotalChannel(); }
        CMDChannelqv** getAllChannelPt() override { return pReal->getAllChannelPt(); }
        CSpctmTrialqv* getSpctmTrial(bool, int) override { return pSpctm; }
    };
    auto pData = makeTestRecording({at(0, 0, 0, 1.0), at(0, 0, 0, 4.0)});
    CQueriedBin spctm;
    spctm.m_nSelectFreqBin = 2;
    CTrialView trial;
    trial.pReal = pData->getTrialqv(-1);
    trial.pSpctm = &spctm;
    CFailingRecording data;
    data.pTrial = &trial;
    CShow3DCntMapqv map;
    EXPECT_EQ(map.setMegDataFrqc(&data), 1);
    EXPECT_EQ(map.m_dColorMax, 4.0 + 7);
    EXPECT_EQ(map._checkSensorPosVlmFrqc(), 1);
    EXPECT_EQ(map.m_dColorMax, (4.0 + 2) * 0.5);
}

TEST(RendererRange, ThresholdsAreHalfTheExtremesAndExtremesLandOnEntry380) {
    struct SCase {
        const char* pszName;
        std::vector<STestChannel> channels;
        double dMin, dStepMin, dMax, dStepMax;
    };
    const auto v = [](double dValue) { return at(0, 0, 0, dValue); };
    const SCase cases[] = {
        {"all zero", {v(0), v(0)}, 0.0, 0.0001, 0.0, 0.0001},
        {"one to five", {v(1), v(5)}, 0.5, 0.5 / 380.0, 2.5, 2.5 / 380.0},
        {"no qualifying channel", {}, 0.0, 0.0001, 0.0, 0.0001},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.pszName);
        auto pData = makeTestRecording(c.channels);
        CShow3DCntMapqv map;
        map.setMegData(pData.get());
        ASSERT_EQ(map._checkSensorPosVlm(), 1);
        EXPECT_DOUBLE_EQ(map.m_dColorMin, c.dMin);
        EXPECT_DOUBLE_EQ(map.m_dColorStepMin, c.dStepMin);
        EXPECT_DOUBLE_EQ(map.m_dColorMax, c.dMax);
        EXPECT_DOUBLE_EQ(map.m_dColorStepMax, c.dStepMax);
    }
}

// The centre is the bounding box of the channels the value range takes (the references place it).
TEST(RendererRange, SkippedChannelsWidenNothingAndTheCentreSumsInSinglePrecision) {
    auto pData = makeTestRecording(
        {at(10, -20, 30, 1.0), without(&STestChannel::bCoil, at(1000, 1000, 1000, 50.0)),
         at(30, 40, -10, 2.0), without(&STestChannel::bWave, at(-1000, 0, 0, 50.0)),
         without(&STestChannel::bMeg, at(0, -1000, 0, 50.0)), at(20, 0, 0, 3.0)});
    CShow3DCntMapqv map;
    map.setMegData(pData.get());
    ASSERT_EQ(map._checkSensorPosVlm(), 1);
    EXPECT_DOUBLE_EQ(map.m_dColorMax, 1.5);
    EXPECT_DOUBLE_EQ(map.m_dColorMin, 0.5);

    // The sums are formed in single precision.
    auto pNear = makeTestRecording({at(0.1, 0, 0, 1.0), at(0.2, 0, 0, 1.0)});
    map.setMegData(pNear.get());
    map._checkSensorPosVlm();
    EXPECT_EQ(map.m_dCenterX, static_cast<double>(0.1f + 0.2f) * 0.5);
}

TEST(RendererRange, AutofitSwitchesDecideWhatIsRefitted) {
    auto pData = makeTestRecording({at(0, 0, 0, -4.0), at(20, 0, 0, 6.0)});
    const struct {
        const char* pszName;
        int bColor, bPlace;
        double dCenterX, dMax, dStepMax;
    } cases[] = {{"colour on, place off: centre still computed", 1, 0, 10.0, 3.0, 3.0 / 380.0},
                 {"both off: nothing walked", 0, 0, 77.0, 1.0, 0.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        CShow3DCntMapqv map;
        map.setMegData(pData.get());
        map.m_bAutofitColor = c.bColor;
        map.m_bAutofitPlace = c.bPlace;
        map.m_dColorMax = 1.0;
        map.m_dCenterX = 77.0;
        ASSERT_EQ(map._checkSensorPosVlm(), 1);
        EXPECT_EQ(map.m_dCenterX, c.dCenterX);
        EXPECT_DOUBLE_EQ(map.m_dColorMax, c.dMax);
        EXPECT_DOUBLE_EQ(map.m_dColorStepMax, c.dStepMax);
    }
}

// Without a spectral result, or with a cell counted from 1 at 0, the spectral checks return 0 and
// change nothing. A host may set any selection in its spectral results: one outside the arrays
// leaves every channel without a value, as if none had an array, instead of reading past them
// (the sanitizer run tells).
TEST(RendererRange, SpectralChecksWithoutAValueToReadFitNothing) {
    CShow3DCntMapqv none;
    EXPECT_EQ(none._checkSensorPosVlm(), 0);
    EXPECT_EQ(none._checkSensorPosVlmFrqc(), 0);
    EXPECT_EQ(none._checkSensorPosVlmSpctm(), 0);
    const struct {
        const char* pszName;
        bool bFrqc;
        int nSelector, nBin, nRow, nColumn, nResult;
    } cases[] = {{"no frequency result", true, 4, 2, 1, 2, 0},
                 {"no spectral result", false, 4, 2, 1, 2, 0},
                 {"row 0", false, 0, 2, 0, 2, 0},
                 {"column 0", false, 0, 2, 1, 0, 0},
                 {"bin below", true, 0, -1, 1, 2, 1},
                 {"bin beyond", true, 0, 1 << 20, 1, 2, 1},
                 {"column beyond", false, 0, 2, 1, 1 << 20, 1},
                 {"row beyond", false, 0, 2, 1 << 20, 1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        auto pData = makeTestRecording({at(0, 0, 0, 1.0), at(20, 0, 0, 2.0)});
        CSpctmTrialqv* pSpctm = pData->getTrialqv(-1)->getSpctmTrial(false, 0);
        pSpctm->m_nSelectFreqBin = c.nBin;
        pSpctm->m_nSelectRow = c.nRow;
        pSpctm->m_nSelectColumn = c.nColumn;
        CShow3DCntMapqv map;
        map.m_nSpctmSelector = c.nSelector;
        EXPECT_EQ(c.bFrqc ? map.setMegDataFrqc(pData.get()) : map.setMegDataSpctm(pData.get()),
                  c.nSelector == 0 ? 1 : 0);
        map.m_dCenterX = 5.0;
        map.m_dColorMax = 9.0;
        EXPECT_EQ(c.bFrqc ? map._checkSensorPosVlmFrqc() : map._checkSensorPosVlmSpctm(),
                  c.nResult);
        EXPECT_EQ(map.m_dCenterX, 5.0) << "no sensor placed the centre";
        EXPECT_EQ(map.m_dColorMax, c.nResult == 1 ? 0.0 : 9.0);
    }
}

// The ranges only a renderer has, and the table entry each value's emission comes from. What a
// colour sets, and the neutral band, are in the stream references; the entries at the
// thresholds' edges are the colour scale's tests' (the same colour entry).
using RendererColor = GLContextTest;

TEST_F(RendererColor, OddRangesPutValuesOnTheirTableEntries) {
    const double adReversed[] = {5.0, 1.0, 1.0, 1.0}; // typed the wrong way round
    const double adAllZero[] = {0.0, 0.0001, 0.0, 0.0001};
    const double adNeverFitted[] = {0.0, 0.0001, 0.0, 0.0};
    const struct {
        const double* adRange;
        float fValue;
        int nTable; // 2 upper, 1 lower
        int nIndex;
    } cases[] = {
        // A value at or above the upper threshold is upper, whatever the lower one says.
        {adReversed, 3.0f, 2, 2},
        {adReversed, 0.5f, 1, 4},
        // After an all-zero fit 0 is upper entry 0 and 1 far beyond (quotient 10000).
        {adAllZero, 0.0f, 2, 0},
        {adAllZero, 1.0f, 2, 511},
        // A never-fitted zero step: equality gives entry 0 (0/0), anything above the last entry.
        {adNeverFitted, 0.0f, 2, 0},
        {adNeverFitted, 1e30f, 2, 511},
    };
    CTestMap map;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.fValue << " in [" << c.adRange[0] << ", " << c.adRange[2] << "]");
        map.m_dColorMin = c.adRange[0];
        map.m_dColorStepMin = c.adRange[1];
        map.m_dColorMax = c.adRange[2];
        map.m_dColorStepMax = c.adRange[3];
        EXPECT_EQ(map._setColor(c.fValue), c.nTable);
        float* const* table =
            c.nTable == 2 ? map.m_Index2Color.m_pColorTableMax : map.m_Index2Color.m_pColorTableMin;
        std::vector<float> emission(4);
        glGetMaterialfv(GL_FRONT, GL_EMISSION, emission.data());
        EXPECT_EQ(emission, std::vector<float>(table[c.nIndex], table[c.nIndex] + 4));
    }
}

} // namespace
