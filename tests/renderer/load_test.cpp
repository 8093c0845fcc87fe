#include "rendertestsupport.h"

#include "mdchannel.h"
#include "mdtrial.h"
#include "spctmtrial.h"

#include <gtest/gtest.h>

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
        EXPECT_EQ(map.m_pTrial, data.pTrial);
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
        {"single", {at(0, 0, 0, -2.5)}, -2.5, -2.5},
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

} // namespace
