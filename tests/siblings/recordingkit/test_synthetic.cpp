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

double distance(const Point& a, const Point& b) {
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

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

// The axes a host labels selections with agree with what the samples and spectra hold: the
// onset at sample 200 is 0 s, column k is k Hz and row r the window from (r - 1) x 100 samples.
TEST(SyntheticRecording, HasTheDescribedChannelsAndAxes) {
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

    EXPECT_EQ(pData->getFirstSampleTime(), -0.2);
    const std::vector<double>& freqs = pData->getSpctmFreqsHz();
    ASSERT_EQ(freqs.size(), 101u);
    EXPECT_TRUE(freqs[0] == 0.0 && freqs[10] == 10.0 && freqs[100] == 100.0);
    const std::vector<double>& rowTimes = pData->getSpctmRowTimesSec();
    ASSERT_EQ(rowTimes.size(), 10u);
    EXPECT_TRUE(std::isnan(rowTimes[0])) << "row 0 is the whole trial";
    EXPECT_NEAR(rowTimes[1], -0.1, 1e-12) << "the first window's centre";
    EXPECT_NEAR(rowTimes[9], 0.7, 1e-12);
    // The selected window's time is the selection time the recording carries.
    CSpctmTrialqv* pSelection = pTrial->getSpctmTrial(false, 0);
    EXPECT_NEAR(rowTimes[pSelection->m_nSelectRow],
                pData->getFirstSampleTime() + pSelection->m_nSelectTime / 1000.0, 1e-12);
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
                const double d = &a == &b ? 1e9 : distance(a.position, b.position);
                dNearest = std::min(dNearest, d);
                nNeighbours += d <= 60.0 ? 1 : 0;
            }
            EXPECT_GE(nNeighbours, 3) << nSize << " sensors, slot " << a.nSlot;
            EXPECT_GT(dNearest, 8.0)
                << nSize << " sensors, slot " << a.nSlot << " nearly coincides";
        }
    }
}

TEST(SyntheticRecording, SelectedSampleShowsADipolarEvokedFieldAndOccipitalChannelsA10HzRhythm) {
    auto pData = makeSyntheticRecording();
    std::int64_t nSelected = 0, nEnd = 0;
    pData->getSelect(nSelected, nEnd);
    EXPECT_EQ(nSelected, 300) << "100 ms after the onset at sample 200";
    const std::vector<SMegChannel> channels = megChannels(*pData);
    std::vector<double> power(1000);
    for (int s = 0; s < 1000; ++s)
        for (const SMegChannel& c : channels)
            power[s] += c.pSamples[s] * c.pSamples[s];
    EXPECT_NEAR(std::max_element(power.begin(), power.end()) - power.begin(), nSelected, 5)
        << "the field is strongest at the selected sample";

    auto [pMin, pMax] = std::minmax_element(
        channels.begin(), channels.end(), [&](const SMegChannel& a, const SMegChannel& b) {
            return a.pSamples[nSelected] < b.pSamples[nSelected];
        });
    const double dMax = pMax->pSamples[nSelected], dMin = pMin->pSamples[nSelected];
    EXPECT_TRUE(dMax > 150.0 && dMax < 1000.0 && dMin < -150.0) << dMin << " " << dMax;
    // Both lobes over the left temporal source, well apart.
    EXPECT_TRUE(pMax->position[0] < 0.0 && pMin->position[0] < 0.0);
    EXPECT_GT(distance(pMax->position, pMin->position), 60.0);
    // The current channel is a good MEG channel near the strongest field.
    const int nCurrent = pData->getTrialqv(-1)->getCurntChnlIndx();
    ASSERT_GE(nCurrent, 0);
    CMDChannelqv* pCurrent = pData->getTrialqv(-1)->getAllChannelPt()[nCurrent];
    ASSERT_TRUE(pCurrent && pCurrent->isMEGMeasureChannel() &&
                pData->isGoodChnl4Alltrials(nCurrent));
    EXPECT_GT(std::fabs(pCurrent->getDataWave()[nSelected]), 0.7 * std::max(dMax, -dMin));

    // Occipital channels carry the 10 Hz rhythm, which the spectral selection shows.
    CSpctmTrialqv* pSelection = pData->getTrialqv(-1)->getSpctmTrial(false, 0);
    ASSERT_NE(pSelection, nullptr);
    EXPECT_TRUE(pSelection->m_nSelectFreqBin == 10 && pSelection->m_nSelectColumn == 10 &&
                pSelection->m_nSelectRow >= 1);
    int nChecked = 0;
    double dSelectedCell = 0.0, dDuringResponse = 0.0;
    for (const SMegChannel& c : channels) {
        // Occipital, off the midline where the rhythm's field changes sign and vanishes.
        if (c.position[1] > -80.0 || std::fabs(c.position[0]) < 25.0 ||
            !pData->isGoodChnl4Alltrials(c.nSlot))
            continue;
        EXPECT_EQ(std::max_element(c.pSpectrum + 1, c.pSpectrum + 101) - c.pSpectrum, 10)
            << c.nSlot;
        dSelectedCell += c.pSpectrum[pSelection->m_nSelectRow * 101 + 10];
        dDuringResponse += c.pSpectrum[4 * 101 + 10]; // window 100 to 300 ms
        ++nChecked;
    }
    EXPECT_GE(nChecked, 20);
    EXPECT_GT(dSelectedCell, 2.0 * dDuringResponse) << "the rhythm weakens during the response";
}

TEST(SyntheticRecording, SameOptionsGiveIdenticalNumbersAndOptionsOutsideTheirRangeAreRefused) {
    CSyntheticOptionsqv options;
    options.nMegChannels = 60;
    auto pA = makeSyntheticRecording(options);
    auto pB = makeSyntheticRecording(options);
    options.nSeed = 2;
    auto pOtherSeed = makeSyntheticRecording(options);
    const auto a = megChannels(*pA), b = megChannels(*pB), c = megChannels(*pOtherSeed);
    ASSERT_TRUE(a.size() == 60 && b.size() == 60 && c.size() == 60);
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_TRUE(std::equal(a[i].pSamples, a[i].pSamples + 1000, b[i].pSamples) &&
                    std::equal(a[i].pSpectrum, a[i].pSpectrum + 1010, b[i].pSpectrum));
        EXPECT_EQ(a[i].position, c[i].position) << "the seed changes the noise, not the helmet";
        EXPECT_NE(a[i].pSamples[0], c[i].pSamples[0]) << i;
    }

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
