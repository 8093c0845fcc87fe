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
#include <complex>
#include <limits>
#include <vector>

namespace {

using Point = std::array<double, 3>;

double distance(const Point& a, const Point& b) {
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

struct SMegChannel {
    int nSlot;
    Point position;
    CMDChannelqv* pChannel;
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
        channels.push_back({i, p, pChannel});
    }
    return channels;
}

const double* spectrumOf(CMDChannelqv* pChannel, std::int64_t& nRows, std::int64_t& nColumns) {
    return pChannel->getSpctmChnl(false, 0)->getSpctmDataPtr(0, &nRows, &nColumns);
}

TEST(SyntheticRecording, HasTheDescribedChannels) {
    auto pData = makeSyntheticRecording();
    ASSERT_NE(pData, nullptr);
    CMDTrialqv* pTrial = pData->getTrialqv(-1);
    ASSERT_EQ(pTrial->getTotalChannel(), 275 + 8);
    EXPECT_EQ(pTrial->getSampleCount(), 1000);
    EXPECT_EQ(pData->getSamplingRate(), 1000.0);
    int nEmpty = 0, nBad = 0, nMeg = 0;
    int aKinds[5] = {};
    for (int i = 0; i < pTrial->getTotalChannel(); ++i) {
        CMDChannelqv* pChannel = pTrial->getAllChannelPt()[i];
        if (!pChannel) {
            ++nEmpty;
            continue;
        }
        ++aKinds[pChannel->getChnlKind()];
        EXPECT_EQ(pChannel->getSampleCount(), 1000) << i;
        if (pChannel->isMEGMeasureChannel()) {
            EXPECT_EQ(pChannel->m_strChnlName.rfind(L"MEG", 0), 0u);
            EXPECT_EQ(pChannel->getCoilCount(), 1);
            std::int64_t nRows = 0, nColumns = 0;
            EXPECT_NE(spectrumOf(pChannel, nRows, nColumns), nullptr);
            EXPECT_EQ(nRows, 10);
            EXPECT_EQ(nColumns, 101);
            nBad += pData->isGoodChnl4Alltrials(i) ? 0 : 1;
            ++nMeg;
        }
    }
    EXPECT_EQ(nEmpty, 1);
    EXPECT_EQ(nMeg, 275);
    EXPECT_EQ(nBad, 1);
    EXPECT_EQ(aKinds[CMDChannel0SensorInfo::kindEEG], 3);
    EXPECT_EQ(aKinds[CMDChannel0SensorInfo::kindEOG], 2);
    EXPECT_EQ(aKinds[CMDChannel0SensorInfo::kindStim], 1);
    EXPECT_EQ(aKinds[CMDChannel0SensorInfo::kindMisc], 1);
    EXPECT_EQ(pTrial->getAllChannelPt()[276]->m_strChnlName, L"EEG001");
    EXPECT_NE(pTrial->getAllChannelPt()[276]->getMEGCoilqv(0), nullptr);
}

class SyntheticHelmet : public ::testing::TestWithParam<int> {};

// The map's surface joins sensors closer than 60 mm; every size must leave each sensor joined.
TEST_P(SyntheticHelmet, EverySensorHasNeighboursWithin60mm) {
    CSyntheticOptionsqv options;
    options.nMegChannels = GetParam();
    auto pData = makeSyntheticRecording(options);
    ASSERT_NE(pData, nullptr);
    const std::vector<SMegChannel> channels = megChannels(*pData);
    ASSERT_EQ(static_cast<int>(channels.size()), GetParam());
    std::vector<double> nearest;
    for (const SMegChannel& a : channels) {
        int nNeighbours = 0;
        double dNearest = std::numeric_limits<double>::max();
        for (const SMegChannel& b : channels) {
            if (&a == &b)
                continue;
            const double d = distance(a.position, b.position);
            dNearest = std::min(dNearest, d);
            nNeighbours += d <= 60.0 ? 1 : 0;
        }
        EXPECT_GE(nNeighbours, 3) << "slot " << a.nSlot;
        EXPECT_GT(dNearest, 8.0) << "slot " << a.nSlot << " nearly coincides with another";
        nearest.push_back(dNearest);
    }
    std::sort(nearest.begin(), nearest.end());
    EXPECT_GT(nearest[nearest.size() / 2], 12.0);
    EXPECT_LT(nearest[nearest.size() / 2], 35.0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SyntheticHelmet, ::testing::Values(50, 275, 600));

TEST(SyntheticRecording, SelectedSampleShowsADipolarEvokedField) {
    auto pData = makeSyntheticRecording();
    std::int64_t nSelected = 0, nEnd = 0;
    pData->getSelect(nSelected, nEnd);
    EXPECT_EQ(nSelected, 300) << "100 ms after the onset at sample 200";
    const std::vector<SMegChannel> channels = megChannels(*pData);

    int nPeak = 0;
    double dPeakPower = 0.0;
    for (int s = 0; s < 1000; ++s) {
        double dPower = 0.0;
        for (const SMegChannel& c : channels)
            dPower += c.pChannel->getDataWave()[s] * c.pChannel->getDataWave()[s];
        if (dPower > dPeakPower) {
            dPeakPower = dPower;
            nPeak = s;
        }
    }
    EXPECT_NEAR(nPeak, nSelected, 5) << "the field is strongest at the selected sample";

    const SMegChannel* pMax = &channels.front();
    const SMegChannel* pMin = &channels.front();
    for (const SMegChannel& c : channels) {
        if (c.pChannel->getDataWave()[nSelected] > pMax->pChannel->getDataWave()[nSelected])
            pMax = &c;
        if (c.pChannel->getDataWave()[nSelected] < pMin->pChannel->getDataWave()[nSelected])
            pMin = &c;
    }
    const double dMax = pMax->pChannel->getDataWave()[nSelected];
    const double dMin = pMin->pChannel->getDataWave()[nSelected];
    EXPECT_GT(dMax, 150.0);
    EXPECT_LT(dMin, -150.0);
    EXPECT_LT(dMax, 1000.0);
    // Both lobes over the left temporal source, well apart.
    EXPECT_LT(pMax->position[0], 0.0);
    EXPECT_LT(pMin->position[0], 0.0);
    EXPECT_GT(distance(pMax->position, pMin->position), 60.0);

    const int nCurrent = pData->getTrialqv(-1)->getCurntChnlIndx();
    CMDChannelqv* pCurrent = pData->getTrialqv(-1)->getAllChannelPt()[nCurrent];
    ASSERT_NE(pCurrent, nullptr);
    EXPECT_NE(pCurrent->isMEGMeasureChannel(), 0);
    EXPECT_NE(pData->isGoodChnl4Alltrials(nCurrent), 0);
    EXPECT_GT(std::fabs(pCurrent->getDataWave()[nSelected]), 0.7 * std::max(dMax, -dMin));
}

TEST(SyntheticRecording, SpectraMatchADirectTransformOfTheSamples) {
    auto pData = makeSyntheticRecording();
    CMDChannelqv* pChannel = megChannels(*pData)[7].pChannel;
    std::int64_t nRows = 0, nColumns = 0;
    const double* pSpectrum = spectrumOf(pChannel, nRows, nColumns);
    const double* pSamples = pChannel->getDataWave();
    const double dPi = std::acos(-1.0);
    // Row 0: whole trial; row r: Hann window of 200 samples starting at (r - 1) x 100.
    for (int nRow : {0, 1, 5, 9}) {
        for (int nColumn : {0, 3, 10, 100}) {
            std::complex<double> sum = 0.0;
            double dGain = 0.0;
            const int nStart = nRow == 0 ? 0 : (nRow - 1) * 100;
            const int nLength = nRow == 0 ? 1000 : 200;
            for (int n = 0; n < nLength; ++n) {
                const double w = nRow == 0 ? 1.0 : 0.5 - 0.5 * std::cos(2.0 * dPi * n / 199.0);
                sum +=
                    w * pSamples[nStart + n] * std::polar(1.0, -2.0 * dPi * nColumn * n / 1000.0);
                dGain += w;
            }
            const double dExpected = std::abs(sum) * (nColumn == 0 ? 1.0 : 2.0) / dGain;
            EXPECT_NEAR(pSpectrum[nRow * nColumns + nColumn], dExpected, 1e-9 * (1.0 + dExpected))
                << "row " << nRow << " column " << nColumn;
        }
    }
}

TEST(SyntheticRecording, OccipitalChannelsCarryThe10HzRhythm) {
    auto pData = makeSyntheticRecording();
    CMDTrialqv* pTrial = pData->getTrialqv(-1);
    CSpctmTrialqv* pSelection = pTrial->getSpctmTrial(false, 0);
    ASSERT_NE(pSelection, nullptr);
    EXPECT_EQ(pSelection->m_nSelectFreqBin, 10);
    EXPECT_GE(pSelection->m_nSelectRow, 1);
    EXPECT_EQ(pSelection->m_nSelectColumn, 10);

    int nChecked = 0;
    double dSelectedCell = 0.0, dDuringResponse = 0.0;
    for (const SMegChannel& c : megChannels(*pData)) {
        // Occipital, off the midline where the rhythm's field changes sign and vanishes.
        if (c.position[1] > -80.0 || std::fabs(c.position[0]) < 25.0 ||
            !pData->isGoodChnl4Alltrials(c.nSlot))
            continue;
        std::int64_t nRows = 0, nColumns = 0;
        const double* pSpectrum = spectrumOf(c.pChannel, nRows, nColumns);
        const double* pPeak = std::max_element(pSpectrum + 1, pSpectrum + nColumns);
        EXPECT_EQ(pPeak - pSpectrum, 10) << "slot " << c.nSlot;
        dSelectedCell += pSpectrum[pSelection->m_nSelectRow * nColumns + 10];
        dDuringResponse += pSpectrum[4 * nColumns + 10]; // window 100 to 300 ms
        ++nChecked;
    }
    EXPECT_GE(nChecked, 20);
    EXPECT_GT(dSelectedCell, 2.0 * dDuringResponse) << "the rhythm weakens during the response";
}

TEST(SyntheticRecording, FiducialsLieOnTheHeadInsideTheHelmet) {
    auto pData = makeSyntheticRecording();
    const std::vector<SMegChannel> channels = megChannels(*pData);
    Point low = channels.front().position, high = low;
    for (const SMegChannel& c : channels)
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], c.position[k]);
            high[k] = std::max(high[k], c.position[k]);
        }
    CFiducialqv* pFiducials = pData->getFidWorkMeg();
    ASSERT_NE(pFiducials, nullptr);
    for (int k = 0; k < CFiducialqv::nFiducialPts; ++k) {
        const CFiduciaryPtqv& f = pFiducials->m_FiduciaryPt[k];
        ASSERT_NE(f.m_bSet, 0) << k;
        const Point p = {f.m_dX, f.m_dY, f.m_dZ};
        for (int a = 0; a < 3; ++a) {
            EXPECT_GT(p[a], low[a]) << k;
            EXPECT_LT(p[a], high[a]) << k;
        }
        for (const SMegChannel& c : channels)
            EXPECT_GT(distance(p, c.position), 15.0) << "fiducial " << k << " slot " << c.nSlot;
    }
    EXPECT_GT(pFiducials->m_FiduciaryPt[0].m_dY, 50.0) << "nasion at the front";
    EXPECT_LT(pFiducials->m_FiduciaryPt[1].m_dX, -50.0) << "left pre-auricular point";
    EXPECT_GT(pFiducials->m_FiduciaryPt[2].m_dX, 50.0) << "right pre-auricular point";
}

TEST(SyntheticRecording, SameOptionsGiveIdenticalNumbers) {
    CSyntheticOptionsqv options;
    options.nMegChannels = 60;
    auto pA = makeSyntheticRecording(options);
    auto pB = makeSyntheticRecording(options);
    options.nSeed = 2;
    auto pOtherSeed = makeSyntheticRecording(options);
    const auto a = megChannels(*pA), b = megChannels(*pB), c = megChannels(*pOtherSeed);
    ASSERT_EQ(a.size(), b.size());
    bool bSeedChangesNoise = false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].position, b[i].position);
        EXPECT_EQ(a[i].position, c[i].position);
        EXPECT_TRUE(std::equal(a[i].pChannel->getDataWave(), a[i].pChannel->getDataWave() + 1000,
                               b[i].pChannel->getDataWave()));
        std::int64_t nRows = 0, nColumns = 0;
        const double* pSa = spectrumOf(a[i].pChannel, nRows, nColumns);
        EXPECT_TRUE(
            std::equal(pSa, pSa + nRows * nColumns, spectrumOf(b[i].pChannel, nRows, nColumns)));
        bSeedChangesNoise =
            bSeedChangesNoise || a[i].pChannel->getDataWave()[0] != c[i].pChannel->getDataWave()[0];
    }
    EXPECT_TRUE(bSeedChangesNoise);
}

TEST(SyntheticRecording, RefusesOptionsOutsideTheirRange) {
    CSyntheticOptionsqv options;
    for (int n : {0, -3, CSyntheticOptionsqv::nMaxMegChannels + 1}) {
        options.nMegChannels = n;
        EXPECT_EQ(makeSyntheticRecording(options), nullptr) << n;
    }
    options.nMegChannels = 10;
    options.dNoiseFt = -1.0;
    EXPECT_EQ(makeSyntheticRecording(options), nullptr);
    options.dNoiseFt = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(makeSyntheticRecording(options), nullptr);

    options = CSyntheticOptionsqv();
    options.nMegChannels = 1;
    auto pSingle = makeSyntheticRecording(options);
    ASSERT_NE(pSingle, nullptr);
    ASSERT_EQ(megChannels(*pSingle).size(), 1u);
    EXPECT_NE(pSingle->isGoodChnl4Alltrials(0), 0) << "the only sensor is not the dead one";
    EXPECT_EQ(pSingle->getTrialqv(-1)->getCurntChnlIndx(), 0);
}

} // namespace
