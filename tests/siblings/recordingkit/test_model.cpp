#include "bscmagsns.h"
#include "fiducial.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "spctmchnl.h"
#include "spctmtrial.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(RecordingModel, WithoutTrialEveryGetterGivesNothing) {
    CMEGDataqv data;
    int nChannels = 7;
    std::int64_t nSamples = 7;
    CMDTrialqv stale;
    CMDTrialqv* pTrial = &stale;
    EXPECT_LT(data.getCurntTrialCSD(&nChannels, &nSamples, &pTrial), 0);
    EXPECT_EQ(nChannels, 0);
    EXPECT_EQ(nSamples, 0);
    EXPECT_EQ(pTrial, nullptr);
    EXPECT_LT(data.getCurntTrialCSD(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(data.getTrialqv(-1), nullptr);
    EXPECT_EQ(data.getTrialqv(0), nullptr);
    EXPECT_EQ(data.setSelect(0), 0);
    EXPECT_EQ(data.isGoodChnl4Alltrials(0), 0);
    EXPECT_EQ(data.isShowChnl4Alltrials(0), 0);
    EXPECT_EQ(data.getFidWorkMeg(), nullptr);
}

TEST(RecordingModel, SlotsMayBeEmptyAndBadIndicesAreRefused) {
    CMEGDataqv data;
    CMDTrialqv* pTrial = data.addTrial();
    ASSERT_EQ(data.getTrialqv(-1), pTrial);
    ASSERT_NE(pTrial->getAllChannelPt(), nullptr);
    EXPECT_EQ(pTrial->getAllChannelPt()[0], nullptr);

    ASSERT_EQ(pTrial->setTotalChannel(3), 1);
    CMDChannelqv* pChannel = pTrial->createChannel(1);
    ASSERT_NE(pChannel, nullptr);
    EXPECT_EQ(pTrial->getAllChannelPt()[0], nullptr);
    EXPECT_EQ(pTrial->getAllChannelPt()[1], pChannel);
    EXPECT_EQ(pTrial->getAllChannelPt()[2], nullptr);
    EXPECT_EQ(pTrial->createChannel(-1), nullptr);
    EXPECT_EQ(pTrial->createChannel(3), nullptr);
    EXPECT_EQ(pTrial->setTotalChannel(-1), 0);
    EXPECT_EQ(pTrial->setTotalChannel(CMDTrial::nMaxSlots + 1), 0);
    EXPECT_EQ(pTrial->getTotalChannel(), 3);

    int nChannels = 0;
    std::int64_t nSamples = -1;
    CMDTrialqv* pCurrent = nullptr;
    EXPECT_GE(data.getCurntTrialCSD(&nChannels, &nSamples, &pCurrent), 0);
    EXPECT_EQ(nChannels, 3);
    EXPECT_EQ(nSamples, 0);
    EXPECT_EQ(pCurrent, pTrial);

    EXPECT_EQ(pTrial->getCurntChnlIndx(), -1);
    EXPECT_EQ(pTrial->setCurrentChannel(3), 0);
    EXPECT_EQ(pTrial->setCurrentChannel(-2), 0);
    EXPECT_EQ(pTrial->setCurrentChannel(2), 1);
    EXPECT_EQ(pTrial->getCurntChnlIndx(), 2);
    // Shrinking below the current channel must not leave it pointing past the array.
    ASSERT_EQ(pTrial->setTotalChannel(2), 1);
    EXPECT_EQ(pTrial->getCurntChnlIndx(), -1);
    EXPECT_EQ(pTrial->clearChannel(1), 1);
    EXPECT_EQ(pTrial->getAllChannelPt()[1], nullptr);
    EXPECT_EQ(pTrial->clearChannel(5), 0);
}

TEST(RecordingModel, ChannelKindCoilsAndSamples) {
    CMDChannelqv channel;
    EXPECT_EQ(channel.getDataWave(), nullptr);
    EXPECT_NE(channel.isMEGMeasureChannel(), 0);
    EXPECT_EQ(channel.getMEGCoilqv(0), nullptr);
    EXPECT_EQ(channel.addCoil(1.0, kNaN, 3.0), 0);
    ASSERT_EQ(channel.addCoil(1.0, 2.0, 3.0), 1);
    double x = 0.0, y = 0.0, z = 0.0;
    channel.getMEGCoilqv(0)->getCoilPositionD(x, y, z);
    EXPECT_EQ(y, 2.0);
    EXPECT_EQ(channel.getMEGCoilqv(1), nullptr);
    EXPECT_EQ(channel.getMEGCoilqv(-1), nullptr);

    for (int nKind : {CMDChannel0SensorInfo::kindEEG, CMDChannel0SensorInfo::kindEOG,
                      CMDChannel0SensorInfo::kindStim, CMDChannel0SensorInfo::kindMisc}) {
        ASSERT_EQ(channel.setChnlKind(nKind), 1);
        EXPECT_EQ(channel.isMEGMeasureChannel(), 0) << nKind;
    }
    EXPECT_EQ(channel.setChnlKind(17), 0);
    EXPECT_EQ(channel.getChnlKind(), CMDChannel0SensorInfo::kindMisc);
    channel.setDataWave({1.0, 2.0});
    channel.setDataWave({});
    EXPECT_EQ(channel.getDataWave(), nullptr) << "no samples means no array, not an empty one";
}

TEST(RecordingModel, SpectralSelectorsAndArrays) {
    CMDChannelqv channel;
    EXPECT_EQ(channel.getSpctmChnl(false, 0), nullptr);
    EXPECT_EQ(channel.getSpctmChnl(true, -1), nullptr);
    EXPECT_EQ(channel.getSpctmChnl(true, CSpctmChnl::nMaxSelectors), nullptr);
    CSpctmChnlqv* pSpectral = channel.getSpctmChnl(true, 2);
    ASSERT_NE(pSpectral, nullptr);
    EXPECT_EQ(channel.getSpctmChnl(false, 2), pSpectral);
    EXPECT_EQ(channel.getSpctmChnl(false, 1), nullptr);

    std::int64_t nRows = -1, nLength = -1;
    EXPECT_EQ(pSpectral->getSpctmDataPtr(0, &nRows, &nLength), nullptr);
    EXPECT_EQ(nRows, 0);
    EXPECT_EQ(nLength, 0);
    EXPECT_EQ(pSpectral->setSpctmData(0, 2, 3, {1, 2, 3, 4, 5}), 0);
    EXPECT_EQ(pSpectral->setSpctmData(0, 0, 3, {}), 0);
    EXPECT_EQ(pSpectral->setSpctmData(-1, 1, 1, {1}), 0);
    ASSERT_EQ(pSpectral->setSpctmData(1, 2, 3, {1, 2, 3, 4, 5, 6}), 1);
    EXPECT_EQ(pSpectral->getSpctmDataPtr(0, nullptr, &nLength), nullptr);
    const double* pValues = pSpectral->getSpctmDataPtr(1, nullptr, &nLength);
    ASSERT_NE(pValues, nullptr);
    EXPECT_EQ(nLength, 3);
    EXPECT_EQ(pValues[1 * nLength + 2], 6.0);
    EXPECT_EQ(pSpectral->getSpctmDataPtr(7, &nRows, &nLength), nullptr);

    CMDTrialqv trial;
    EXPECT_EQ(trial.getSpctmTrial(false, 0), nullptr);
    EXPECT_EQ(trial.getSpctmTrial(true, CSpctmChnl::nMaxSelectors), nullptr);
    CSpctmTrialqv* pResult = trial.getSpctmTrial(true, 0);
    ASSERT_NE(pResult, nullptr);
    pResult->m_nSelectFreqBin = 4;
    pResult->m_nSelectTime = 9;
    std::int64_t nTime = 0, nBin = 0;
    pResult->getTrialSpctmSelectTimeFreqBB(nTime, nBin);
    EXPECT_EQ(nTime, 9);
    EXPECT_EQ(nBin, 4);
}

TEST(RecordingModel, SelectedSampleAlwaysIndexesEveryChannel) {
    CMEGDataqv data;
    CMDTrialqv* pFirst = data.addTrial();
    pFirst->setTotalChannel(2);
    pFirst->setSampleCount(5);
    pFirst->createChannel(0)->setDataWave(std::vector<double>(5, 1.0));
    pFirst->createChannel(1)->setDataWave(std::vector<double>(3, 1.0));
    EXPECT_EQ(data.setSelect(2), 1);
    // Sample 3 is inside the trial but past the short channel's samples.
    EXPECT_EQ(data.setSelect(3), 0);
    EXPECT_EQ(data.setSelect(-1), 0);
    std::int64_t nSample = -1, nEnd = -1;
    EXPECT_EQ(data.getSelect(nSample, nEnd), 1);
    EXPECT_EQ(nSample, 2);
    EXPECT_EQ(nEnd, 2);

    CMDTrialqv* pSecond = data.addTrial();
    EXPECT_EQ(data.getTrialqv(-1), pFirst);
    pSecond->setSampleCount(1);
    ASSERT_EQ(data.setCurrentTrial(1), 1);
    data.getSelect(nSample, nEnd);
    EXPECT_EQ(nSample, 0);
    EXPECT_EQ(data.setCurrentTrial(2), 0);
    EXPECT_EQ(data.setCurrentTrial(-1), 1);
    EXPECT_EQ(data.getTrialqv(-1), nullptr);
}

TEST(RecordingModel, GoodAndShownFlagsPerSlot) {
    CMEGDataqv data;
    EXPECT_EQ(data.setGoodChnl4Alltrials(1, 0), 1); // before any trial exists
    data.addTrial()->setTotalChannel(3);
    EXPECT_EQ(data.isGoodChnl4Alltrials(0), 1);
    EXPECT_EQ(data.isGoodChnl4Alltrials(1), 0);
    EXPECT_EQ(data.isShowChnl4Alltrials(1), 1);
    EXPECT_EQ(data.setShowChnl4Alltrials(2, 0), 1);
    EXPECT_EQ(data.isShowChnl4Alltrials(2), 0);
    EXPECT_EQ(data.isGoodChnl4Alltrials(3), 0);
    EXPECT_EQ(data.isGoodChnl4Alltrials(-1), 0);
    EXPECT_EQ(data.setGoodChnl4Alltrials(-1, 1), 0);
    EXPECT_EQ(data.setGoodChnl4Alltrials(CMDTrial::nMaxSlots, 1), 0);
}

TEST(RecordingModel, FiducialSet) {
    CMEGDataqv data;
    CFiducialqv* pSet = data.createFidWorkMeg();
    EXPECT_EQ(data.createFidWorkMeg(), pSet) << "a second call keeps the set";
    EXPECT_EQ(data.getFidWorkMeg(), pSet);
    EXPECT_EQ(pSet->getFiduciaryPt(-1), nullptr);
    EXPECT_EQ(pSet->getFiduciaryPt(6), nullptr);
    EXPECT_EQ(pSet->getFiduciaryPt(5)->setPoint(1.0, 2.0, kNaN), 0);
    EXPECT_EQ(pSet->m_FiduciaryPt[5].m_bSet, 0);
    EXPECT_EQ(pSet->getFiduciaryPt(5)->setPoint(1.0, 2.0, 3.0), 1);
    EXPECT_NE(pSet->m_FiduciaryPt[5].m_bSet, 0);
}

} // namespace
