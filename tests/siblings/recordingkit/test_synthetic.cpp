#include "bscmagsns.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "spctmchnl.h"
#include "spctmtrial.h"
#include "syntheticrecording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using Point = std::array<double, 3>;

struct SMegChannel {
    int nSlot;
    Point position;
    const double* pSamples;
    const double* pSpectrum; // 10 rows of 101 columns
};

std::vector<SMegChannel> megChannels(CMEGDataqv& data) {
    std::vector<SMegChannel> channels;
    CMDTrialqv* pTrial = data.getTrialqv(-1);
    for (int i = 0; i < pTrial->getTotalChannel(); ++i) {
        CMDChannelqv* pChannel = pTrial->getAllChannelPt()[i];
        if (!pChannel || !pChannel->isMEGMeasureChannel())
            continue;
        Point p{};
        pChannel->getMEGCoilqv(0)->getCoilPositionD(p[0], p[1], p[2]);
        channels.push_back(
            {i, p, pChannel->getDataWave(),
             pChannel->getSpctmChnl(false, 0)->getSpctmDataPtr(0, nullptr, nullptr)});
    }
    return channels;
}

// The times and frequencies the axes give are what the selection rule's tests select by.
TEST(SyntheticRecording, HasTheDescribedChannelsAndOpensOnTheEvokedPeakAndThe10HzBin) {
    auto pData = makeSyntheticRecording();
    ASSERT_NE(pData, nullptr);
    CMDTrialqv* pTrial = pData->getTrialqv(-1);
    EXPECT_EQ(std::make_pair(pTrial->getSampleCount(), pData->getSamplingRate()),
              std::make_pair(std::int64_t{1000}, 1000.0));
    std::vector<int> counts(7); // per kind, then empty slots and MEG channels flagged not good
    for (int i = 0; i < pTrial->getTotalChannel(); ++i) {
        CMDChannelqv* pChannel = pTrial->getAllChannelPt()[i];
        ++counts[pChannel ? pChannel->getChnlKind() : 5];
        std::int64_t nRows = 0, nColumns = 0;
        if (pChannel && pChannel->isMEGMeasureChannel()) {
            pChannel->getSpctmChnl(false, 0)->getSpctmDataPtr(0, &nRows, &nColumns);
            EXPECT_TRUE(pChannel->getCoilCount() == 1 && nRows == 10 && nColumns == 101) << i;
            counts[6] += pData->isGoodChnl4Alltrials(i) ? 0 : 1;
        }
    }
    EXPECT_EQ(counts, (std::vector<int>{275, 3, 2, 1, 1, 1, 1}))
        << "MEG, EEG, EOG, stimulus, misc, empty, bad";
    for (const CFiduciaryPtqv& f : pData->getFidWorkMeg()->m_FiduciaryPt)
        EXPECT_NE(f.m_bSet, 0) << "six fiducials";

    // 100 ms after the onset at sample 200, on a good MEG channel; a window of the 10 Hz bin.
    std::int64_t nSelected = 0, nEnd = 0;
    pData->getSelect(nSelected, nEnd);
    EXPECT_EQ(nSelected, 300);
    const int nCurrent = pTrial->getCurntChnlIndx();
    ASSERT_GE(nCurrent, 0);
    EXPECT_TRUE(pTrial->getAllChannelPt()[nCurrent]->isMEGMeasureChannel() &&
                pData->isGoodChnl4Alltrials(nCurrent));
    CSpctmTrialqv* pSelection = pTrial->getSpctmTrial(false, 0);
    ASSERT_NE(pSelection, nullptr);
    EXPECT_TRUE(pSelection->m_nSelectFreqBin == 10 && pSelection->m_nSelectColumn == 10 &&
                pSelection->m_nSelectRow >= 1);
}

// The map's surface joins sensors closer than 60 mm; every size must leave each sensor joined.
TEST(SyntheticHelmet, EverySensorHasNeighboursWithin60mmAtEverySize) {
    for (int nSize : {50, 275, 600}) {
        CSyntheticOptionsqv options;
        options.nMegChannels = nSize;
        auto pData = makeSyntheticRecording(options);
        ASSERT_NE(pData, nullptr);
        const std::vector<SMegChannel> channels = megChannels(*pData);
        ASSERT_EQ(static_cast<int>(channels.size()), nSize);
        for (const SMegChannel& a : channels) {
            int nNeighbours = 0;
            double dNearest = 1e9;
            for (const SMegChannel& b : channels) {
                const Point& p = a.position;
                const Point& q = b.position;
                const double d = &a == &b ? 1e9 : std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]);
                dNearest = std::min(dNearest, d);
                nNeighbours += d <= 60.0 ? 1 : 0;
            }
            EXPECT_GE(nNeighbours, 3) << nSize << " sensors, slot " << a.nSlot;
            EXPECT_GT(dNearest, 8.0)
                << nSize << " sensors, slot " << a.nSlot << " nearly coincides";
        }
    }
}

TEST(SyntheticRecording, SameOptionsGiveIdenticalNumbersAndOptionsOutsideTheirRangeAreRefused) {
    CSyntheticOptionsqv options;
    options.nMegChannels = 60;
    auto pA = makeSyntheticRecording(options);
    auto pB = makeSyntheticRecording(options);
    const auto a = megChannels(*pA), b = megChannels(*pB);
    ASSERT_TRUE(a.size() == 60 && b.size() == 60);
    for (std::size_t i = 0; i < a.size(); ++i)
        EXPECT_TRUE(std::equal(a[i].pSamples, a[i].pSamples + 1000, b[i].pSamples) &&
                    std::equal(a[i].pSpectrum, a[i].pSpectrum + 1010, b[i].pSpectrum));

    const std::pair<int, double> bad[] = {
        {0, 10.0}, {CSyntheticOptionsqv::nMaxMegChannels + 1, 10.0}, {10, -1.0}, {10, NAN}};
    for (const auto& [nMeg, dNoise] : bad) {
        CSyntheticOptionsqv wrong;
        wrong.nMegChannels = nMeg;
        wrong.dNoiseFt = dNoise;
        EXPECT_EQ(makeSyntheticRecording(wrong), nullptr) << nMeg << " " << dNoise;
    }
    options.nMegChannels = 1;
    auto pSingle = makeSyntheticRecording(options);
    ASSERT_NE(pSingle, nullptr);
    ASSERT_EQ(megChannels(*pSingle).size(), 1u);
    EXPECT_NE(pSingle->isGoodChnl4Alltrials(0), 0) << "the only sensor is not the dead one";
    EXPECT_EQ(pSingle->getTrialqv(-1)->getCurntChnlIndx(), 0);
}

} // namespace
