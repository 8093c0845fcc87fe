#include "bscmagsns.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "spctmchnl.h"
#include "spctmtrial.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(RecordingModel, TrialSlotsBadIndicesAndSelectedSample) {
    CMEGDataqv data;
    int nChannels = 7;
    std::int64_t nSamples = 7;
    CMDTrialqv stale;
    CMDTrialqv* pTrial = &stale;
    EXPECT_LT(data.getCurntTrialCSD(&nChannels, &nSamples, &pTrial), 0) << "no trial yet";
    EXPECT_TRUE(nChannels == 0 && nSamples == 0 && pTrial == nullptr) << "outputs are cleared";

    pTrial = data.addTrial();
    ASSERT_EQ(data.getTrialqv(-1), pTrial) << "the first trial becomes the current one";
    ASSERT_EQ(pTrial->setTotalChannel(3), 1);
    CMDChannelqv* pChannel = pTrial->createChannel(1);
    CMDChannelqv** ppSlots = pTrial->getAllChannelPt();
    EXPECT_TRUE(pChannel && !ppSlots[0] && ppSlots[1] == pChannel && !ppSlots[2]);
    EXPECT_EQ(pTrial->createChannel(-1), nullptr);
    EXPECT_EQ(pTrial->createChannel(3), nullptr);
    EXPECT_EQ(pTrial->setTotalChannel(-1), 0);
    EXPECT_EQ(pTrial->setTotalChannel(CMDTrial::nMaxSlots + 1), 0);

    EXPECT_EQ(pTrial->setCurrentChannel(3), 0);
    EXPECT_EQ(pTrial->setCurrentChannel(-2), 0);
    ASSERT_EQ(pTrial->setCurrentChannel(2), 1);
    // Shrinking below the current channel must not leave it pointing past the array.
    ASSERT_EQ(pTrial->setTotalChannel(2), 1);
    EXPECT_EQ(pTrial->getCurntChnlIndx(), -1);
    EXPECT_EQ(pTrial->clearChannel(1), 1);
    EXPECT_EQ(pTrial->getAllChannelPt()[1], nullptr);
    EXPECT_EQ(pTrial->clearChannel(5), 0);

    // The selected sample must index every channel's samples.
    pTrial->setSampleCount(5);
    pTrial->createChannel(0)->setDataWave(std::vector<double>(5, 1.0));
    pTrial->createChannel(1)->setDataWave(std::vector<double>(3, 1.0));
    EXPECT_EQ(data.setSelect(2), 1);
    // Sample 3 is inside the trial but past the short channel's samples.
    EXPECT_EQ(data.setSelect(3), 0);
    EXPECT_EQ(data.setSelect(-1), 0);
    std::int64_t nSample = -1, nEnd = -1;
    EXPECT_EQ(data.getSelect(nSample, nEnd), 1);
    EXPECT_TRUE(nSample == 2 && nEnd == 2);
    // A channel refilled shorter after the selection: the selection reads as the first sample
    // until the channel is long enough again.
    pTrial->getAllChannelPt()[1]->setDataWave(std::vector<double>(2, 1.0));
    data.getSelect(nSample, nEnd);
    EXPECT_TRUE(nSample == 0 && nEnd == 0);
    pTrial->getAllChannelPt()[1]->setDataWave(std::vector<double>(3, 1.0));
    data.getSelect(nSample, nEnd);
    EXPECT_EQ(nSample, 2);

    data.addTrial()->setSampleCount(1);
    EXPECT_EQ(data.getTrialqv(-1), pTrial);
    ASSERT_EQ(data.setCurrentTrial(1), 1);
    data.getSelect(nSample, nEnd);
    EXPECT_EQ(nSample, 0) << "sample 2 is not inside the new current trial";
    EXPECT_EQ(data.setCurrentTrial(2), 0);
    EXPECT_EQ(data.setCurrentTrial(-1), 1);
    EXPECT_EQ(data.getTrialqv(-1), nullptr);
}

TEST(RecordingModel, ChannelKindCoilsSamplesAndSpectra) {
    // Which kinds are measured MEG channels is seen by the synthetic recording's test.
    CMDChannelqv channel;
    ASSERT_EQ(channel.setChnlKind(CMDChannel0SensorInfo::kindMEG), 1);
    EXPECT_EQ(channel.setChnlKind(17), 0);
    EXPECT_EQ(channel.getChnlKind(), CMDChannel0SensorInfo::kindMEG);
    EXPECT_EQ(channel.addCoil(1.0, NAN, 3.0), 0);
    ASSERT_EQ(channel.addCoil(1.0, 2.0, 3.0), 1);
    EXPECT_TRUE(channel.getCoilCount() == 1 && !channel.getMEGCoilqv(1) &&
                !channel.getMEGCoilqv(-1));
    channel.setDataWave({1.0, 2.0});
    channel.setDataWave({});
    EXPECT_EQ(channel.getDataWave(), nullptr) << "no samples means no array, not an empty one";

    CMDTrialqv trial;
    for (int nBad : {-1, int(CSpctmChnl::nMaxSelectors)}) {
        EXPECT_EQ(channel.getSpctmChnl(true, nBad), nullptr) << nBad;
        EXPECT_EQ(trial.getSpctmTrial(true, nBad), nullptr) << nBad;
    }
    EXPECT_EQ(trial.getSpctmTrial(false, 0), nullptr);
    CSpctmTrialqv* pResult = trial.getSpctmTrial(true, 0);
    EXPECT_TRUE(pResult && trial.getSpctmTrial(false, 0) == pResult);
    CSpctmChnlqv* pSpectral = channel.getSpctmChnl(true, 2);
    ASSERT_TRUE(pSpectral && channel.getSpctmChnl(false, 2) == pSpectral);
    std::int64_t nRows = -1, nLength = -1;
    EXPECT_TRUE(!pSpectral->getSpctmDataPtr(0, &nRows, &nLength) && nRows == 0 && nLength == 0);
    EXPECT_EQ(pSpectral->setSpctmData(0, 2, 3, {1, 2, 3, 4, 5}), 0);
    EXPECT_EQ(pSpectral->setSpctmData(0, 0, 3, {}), 0);
    EXPECT_EQ(pSpectral->setSpctmData(-1, 1, 1, {1}), 0);
    ASSERT_EQ(pSpectral->setSpctmData(1, 2, 3, {1, 2, 3, 4, 5, 6}), 1);
    const double* pValues = pSpectral->getSpctmDataPtr(1, nullptr, &nLength);
    ASSERT_NE(pValues, nullptr);
    EXPECT_EQ(pValues[1 * nLength + 2], 6.0);
    EXPECT_EQ(pSpectral->getSpctmDataPtr(7, &nRows, &nLength), nullptr);
}

TEST(RecordingModel, FlagsPerSlotFiducialSetAxesAndUnitRefuseWhatNoLabelCanShow) {
    CMEGDataqv data;
    EXPECT_EQ(data.isGoodChnl4Alltrials(0), 0) << "no trial, no slot";
    EXPECT_EQ(data.setGoodChnl4Alltrials(1, 0), 1); // before any trial exists
    data.addTrial()->setTotalChannel(3);
    EXPECT_EQ(data.setShowChnl4Alltrials(2, 0), 1);
    const int flags[][2] = {{1, 1}, {0, 1}, {1, 0}, {0, 0}}; // good, shown of slots 0 to 3
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(std::make_pair(data.isGoodChnl4Alltrials(i), data.isShowChnl4Alltrials(i)),
                  std::make_pair(flags[i][0], flags[i][1]))
            << i;
    EXPECT_EQ(data.setGoodChnl4Alltrials(-1, 1), 0);
    EXPECT_EQ(data.setGoodChnl4Alltrials(CMDTrial::nMaxSlots, 1), 0);

    EXPECT_EQ(data.getFidWorkMeg(), nullptr);
    CFiducialqv* pSet = data.createFidWorkMeg();
    EXPECT_EQ(data.createFidWorkMeg(), pSet) << "a second call keeps the set";
    EXPECT_TRUE(!pSet->getFiduciaryPt(-1) && !pSet->getFiduciaryPt(6));
    EXPECT_TRUE(!pSet->getFiduciaryPt(5)->setPoint(1.0, 2.0, NAN) &&
                !pSet->m_FiduciaryPt[5].m_bSet);
    EXPECT_TRUE(pSet->getFiduciaryPt(5)->setPoint(1.0, 2.0, 3.0) && pSet->m_FiduciaryPt[5].m_bSet);

    // Refusals keep what was there: axes that cannot label a selection, units no label can show.
    EXPECT_EQ(data.setFirstSampleTime(NAN), 0);
    EXPECT_EQ(data.setFirstSampleTime(INFINITY), 0);
    ASSERT_EQ(data.setFirstSampleTime(-0.2), 1);
    EXPECT_EQ(data.getFirstSampleTime(), -0.2);

    ASSERT_EQ(data.setSpctmAxes({0.0, 10.0}, {NAN, 0.1}), 1) << "a row may have no time";
    EXPECT_EQ(data.setSpctmAxes({0.0, NAN}, {}), 0);
    EXPECT_EQ(data.setSpctmAxes({0.0}, {-INFINITY}), 0);
    EXPECT_EQ(data.getSpctmFreqsHz(), (std::vector<double>{0.0, 10.0}));
    ASSERT_EQ(data.getSpctmRowTimesSec().size(), 2u);
    EXPECT_EQ(data.getSpctmRowTimesSec()[1], 0.1);

    ASSERT_EQ(data.setUnit("fT/cm"), 1);
    EXPECT_EQ(data.setUnit(std::string(CMEGData::nMaxUnitLength + 1, 'T')), 0);
    EXPECT_EQ(data.getUnit(), "fT/cm");
    const std::string longest(CMEGData::nMaxUnitLength, 'T');
    ASSERT_EQ(data.setUnit(longest), 1);
    EXPECT_EQ(data.getUnit(), longest);
}
