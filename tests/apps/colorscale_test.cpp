// The colour scale behind the colour bars: the renderer's colour entry and the smooth map's ramp
// for every value, the data extremes of each map, the span and ticks of a bar, labels and their
// layout.

#include "colorscale.h"
#include "testtempdir.h"

#include "mdtrial.h"
#include "megdata.h"
#include "recordingjson.h"
#include "show3dcntmap.h"
#include "smoothfieldmap.h"
#include "spctmtrial.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>

namespace {

// The renderer's colour tables, which the bars show.
const CIndex2ColorOpenGLqv s_tables;

// The bytes of 0..1 components, rounded.
CColorScale::SRgb bytes(const float* af) {
    const auto byte = [](float f) { return static_cast<unsigned char>(std::lround(f * 255)); };
    return {byte(af[0]), byte(af[1]), byte(af[2])};
}

// Which table a value takes, at which entry, and its colour in bytes: the renderer's rule (its
// own tests pin the entries), values in single precision as it takes them, grey in between.
TEST(ColorScale, GivesEveryValueTheRenderersEntryAndItsColour) {
    using T = CColorScale;
    const int nLast = CIndex2ColorOpenGLqv::nColorEntries - 1;
    const struct {
        double dValue;
        T::EBand nBand;
        int nIndex;
    } cases[] = {
        {163.875 - 1e-12, T::bandUpper, 0}, // the threshold in floats
        {163.875 + 100.75 * 0.5, T::bandUpper, 100},
        {-142.25 - 379.5 * 0.25, T::bandLower, 379},
        {10.0, T::bandNeutral, 0},
        {1e300, T::bandUpper, nLast}, // beyond single precision
        {-INFINITY, T::bandLower, nLast},
        {NAN, T::bandNeutral, 0},
    };
    const T scale(-142.25, 163.875, 0.25, 0.5, 0.0, 0.0, false);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dValue);
        int nIndex = -1;
        ASSERT_EQ(scale.band(c.dValue, &nIndex), c.nBand);
        EXPECT_EQ(nIndex, c.nIndex);
        const float* pExpected = c.nBand == T::bandUpper   ? s_tables.m_pColorTableMax[c.nIndex]
                                 : c.nBand == T::bandLower ? s_tables.m_pColorTableMin[c.nIndex]
                                                           : nullptr;
        if (!pExpected) {
            EXPECT_EQ(scale.colorAt(c.dValue), nullptr);
            EXPECT_EQ(scale.rgbAt(c.dValue), T::rgbNeutral);
            continue;
        }
        EXPECT_TRUE(std::equal(pExpected, pExpected + 4, scale.colorAt(c.dValue)));
        EXPECT_EQ(scale.rgbAt(c.dValue), bytes(pExpected));
    }
}

// The diverging scale of the smooth map (Brewer's RdBu reversed, eleven colours evenly from -1
// to +1), as published.
const unsigned s_anRamp[11] = {0x053061, 0x2166ac, 0x4393c3, 0x92c5de, 0xd1e5f0, 0xf7f7f7,
                               0xfddbc7, 0xf4a582, 0xd6604d, 0xb2182b, 0x67001f};

// The ramp's colour k, clamped to the ends.
CColorScale::SRgb rampColour(int k) {
    const unsigned n = s_anRamp[std::clamp(k, 0, 10)];
    return {static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 8),
            static_cast<unsigned char>(n)};
}

// Three MEG channels; the unseen EEG channel holds the largest numbers of all. Spectra are 2 x 3.
// The frequency map reads element 4 (bin), the spectral range check element 1 (row 1, column 2
// counted from 1).
// Channel A's samples may be given.
std::unique_ptr<CMEGDataqv> threeChannels(const std::string& strExtra = "",
                                          const std::string& strSamplesA = "[0, -30.1, 0]") {
    const auto path = testTempDir() / "three.json";
    std::ofstream(path) << R"({)" << strExtra << R"(
      "selection": {"sample": 1, "bin": 4, "row": 1, "column": 2},
      "channels": [
        {"name": "A", "kind": "meg", "coils": [[-40, 0, 90]], "samples": )"
                        << strSamplesA << R"(,
         "spectrum": {"rows": 2, "columns": 3, "data": [1, 2.5, 3, 4, 0.75, 6]}},
        {"name": "B", "kind": "meg", "coils": [[40, 0, 90]], "samples": [0, 120.3, 0],
         "spectrum": {"rows": 2, "columns": 3, "data": [1, 7.5, 3, 4, 8.25, 6]}},
        {"name": "C", "kind": "meg", "coils": [[0, 60, 110]], "samples": [0, 5, 0],
         "spectrum": {"rows": 2, "columns": 3, "data": [1, 0.5, 3, 4, 3.5, 6]}},
        {"name": "E", "kind": "eeg", "coils": [[0, 0, 130]], "samples": [0, 9999, 0]}
      ]})";
    std::string error;
    auto pRecording = loadRecordingJson(path.string(), error);
    EXPECT_TRUE(pRecording) << error;
    return pRecording;
}

TEST(ColorScale, TakesTheDataExtremesOfEachMapFromTheFit) {
    auto pRecording = threeChannels();
    ASSERT_TRUE(pRecording);
    const struct {
        CColorScale::EMapKind nKind;
        double dMin, dMax;
    } maps[] = {{CColorScale::kindTime, -30.1, 120.3},
                {CColorScale::kindFrequency, 0.75, 8.25},
                {CColorScale::kindSpectral, 0.5, 7.5}};
    for (const auto& m : maps) {
        SCOPED_TRACE(m.nKind);
        CShow3DCntMapqv map;
        ASSERT_TRUE(loadMapLikeView(map, pRecording.get(), m.nKind));
        ASSERT_TRUE(checkMapRange(map, m.nKind));
        const CColorScale fitted = CColorScale::fromMap(map, m.nKind);
        ASSERT_TRUE(fitted.hasExtremes());
        // The fit keeps its extremes in single precision.
        EXPECT_EQ(fitted.dataMin(), static_cast<float>(m.dMin));
        EXPECT_EQ(fitted.dataMax(), static_cast<float>(m.dMax));

        // A typed range keeps its thresholds; the extremes stay the data's.
        map.m_bAutofitColor = 0;
        map.m_dColorMax = 2.0;
        const CColorScale typed = CColorScale::fromMap(map, m.nKind);
        EXPECT_EQ(typed.colorMax(), 2.0);
        EXPECT_EQ(typed.dataMax(), fitted.dataMax());
    }

    // The spectral map cannot fit a cell counted from 0, nor any map a selection past every
    // channel's arrays: no extremes to show.
    CSpctmTrialqv* pSpctm = pRecording->getTrialqv(-1)->getSpctmTrial(false, 0);
    pSpctm->m_nSelectRow = 0;
    pSpctm->m_nSelectFreqBin = 6;
    for (CColorScale::EMapKind nKind : {CColorScale::kindSpectral, CColorScale::kindFrequency}) {
        CShow3DCntMapqv map;
        loadMapLikeView(map, pRecording.get(), nKind);
        EXPECT_FALSE(CColorScale::fromMap(map, nKind).hasExtremes()) << nKind;
    }
}

TEST(ColorScale, BarSpansTheDataAndTheThresholdsWithTicksFromTheTopDown) {
    using T = CColorScale;
    const auto kinds = [](const T& scale) {
        std::vector<int> aKinds;
        for (const T::STick& tick : scale.ticks())
            aKinds.push_back(tick.nKind);
        return aKinds;
    };
    const T fitted(-50.0, 80.0, 0.1, 0.2, -100.0, 160.0, true);
    EXPECT_EQ(fitted.barTop(), 160.0);
    EXPECT_EQ(fitted.barBottom(), -100.0);
    EXPECT_EQ(fitted.valueAtRow(0, 261), 160.0);
    EXPECT_EQ(fitted.valueAtRow(260, 261), -100.0);
    EXPECT_NEAR(fitted.valueAtRow(160, 261), 0.0, 1e-9);
    EXPECT_DOUBLE_EQ(fitted.rowOf(80.0, 261), 80.0);
    EXPECT_EQ(fitted.rowOf(1e9, 261), 0.0);
    EXPECT_EQ(kinds(fitted), (std::vector<int>{T::tickMax, T::tickUpperThreshold,
                                               T::tickLowerThreshold, T::tickMin}));
    EXPECT_EQ(fitted.rgbAt(fitted.valueAtRow(130, 261)), T::rgbNeutral);

    // Positive data put the lower threshold below the data; the bar reaches down to it.
    const T positive(5.0, 50.0, 0.01, 0.1, 10.0, 100.0, true);
    EXPECT_EQ(positive.barBottom(), 5.0);
    EXPECT_EQ(positive.barTop(), 100.0);

    // A typed lower threshold above the upper one: the ticks still run down by value.
    const T crossed(120.0, -20.0, 0.1, 0.1, -100.0, 160.0, true);
    EXPECT_EQ(kinds(crossed), (std::vector<int>{T::tickMax, T::tickLowerThreshold,
                                                T::tickUpperThreshold, T::tickMin}));
    EXPECT_NE(crossed.rgbAt(0.0), T::rgbNeutral) << "no neutral band between crossed thresholds";

    // Flat data still give a bar of some height; unknown extremes give no ticks of their own.
    const T flat(0.0, 0.0, 0.0001, 0.0001, 0.0, 0.0, true);
    EXPECT_GT(flat.barTop(), flat.barBottom());
    const T unknown(-1.0, 2.0, 0.1, 0.1, 0.0, 0.0, false);
    EXPECT_EQ(kinds(unknown), (std::vector<int>{T::tickUpperThreshold, T::tickLowerThreshold}));
    EXPECT_EQ(unknown.barTop(), 2.0);

    // A NaN among the fitted values makes NaN thresholds: everything is neutral, nothing ticks.
    const T broken(NAN, NAN, NAN, NAN, NAN, NAN, true);
    EXPECT_TRUE(kinds(broken).empty());
    EXPECT_TRUE(std::isfinite(broken.barTop()) && std::isfinite(broken.barBottom()));
    EXPECT_EQ(broken.rgbAt(3.0), T::rgbNeutral);
}

TEST(ColorScale, LabelsCarryTheUnitOfTheMap) {
    EXPECT_EQ(formatScaleValue(812.3456), "812.3");
    EXPECT_EQ(formatScaleValue(-0.0), "0");
    EXPECT_EQ(formatScaleValue(0.0125), "0.0125");
    EXPECT_EQ(formatScaleValue(1.5e-14), "1.5e-14");
    EXPECT_EQ(tickLabel({CColorScale::tickMax, 327.8}, "fT"), "max 327.8 fT");
    EXPECT_EQ(tickLabel({CColorScale::tickMin, -284.6}, "fT"), "min -284.6 fT");
    EXPECT_EQ(tickLabel({CColorScale::tickLowerThreshold, -142.3}, "fT"), "-142.3 fT");

    auto pFemtotesla = threeChannels();
    auto pGradient = threeChannels(R"("unit": "fT/cm",)");
    ASSERT_TRUE(pFemtotesla && pGradient);
    EXPECT_EQ(scaleUnit(pFemtotesla.get(), CColorScale::kindTime), "fT");
    EXPECT_EQ(scaleUnit(pGradient.get(), CColorScale::kindTime), "fT/cm");
    EXPECT_EQ(scaleUnit(pGradient.get(), CColorScale::kindFrequency), "fT/cm (spectrum)");
}

// The smooth map's continuous scale, diverging for signed values and its upper half from 0 for
// non-negative ones (merged gradiometers, spectra): the bar and the map give every value the
// ramp's colour, the bar runs from its low end to L (the larger extreme) with one tick at zero,
// and the isolines lie inside it, a zero line only where 0 is not the end. In the time domain the
// whole recording decides: waves positive at the selected sample but not throughout keep the
// two-sided scale.
TEST(ColorScale, SmoothMapScalesAreTheOnesTheMapDrawsWithSignedOrFromZero) {
    auto pSigned = threeChannels(), pSignedElsewhere = threeChannels("", "[-3, 30, 0]"),
         pPositive = threeChannels("", "[3, 30, 0]");
    ASSERT_TRUE(pSigned && pSignedElsewhere && pPositive);
    const struct {
        CMEGDataqv* pRecording;
        CColorScale::EMapKind nKind;
        int nLowColour; // the ramp's colour at the bar's low end
        std::size_t nTicks;
    } cases[] = {{pSigned.get(), CColorScale::kindTime, 0, 4},
                 {pSignedElsewhere.get(), CColorScale::kindTime, 0, 4},
                 {pPositive.get(), CColorScale::kindTime, 5, 3},
                 {pSigned.get(), CColorScale::kindFrequency, 5, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        CShow3DCntMapqv map;
        ASSERT_TRUE(loadMapLikeView(map, c.pRecording, c.nKind));
        ASSERT_TRUE(checkMapRange(map, c.nKind));
        CSmoothFieldMap smooth;
        ASSERT_EQ(smooth.setColorMode(CSmoothFieldMap::colorContinuous), 1);
        ASSERT_EQ(smooth.update(map, c.nKind), 1) << smooth.getMessage();
        const CColorScale scale = CColorScale::fromSmoothMap(smooth, map, c.nKind);
        double dLow = 1.0, dHigh = 0.0;
        ASSERT_EQ(smooth.getContinuousRange(dLow, dHigh), 1);
        ASSERT_TRUE(scale.isContinuous());
        const auto values =
            std::minmax_element(smooth.getSensorValues().begin(), smooth.getSensorValues().end());
        EXPECT_EQ(scale.dataMin(), *values.first);
        EXPECT_EQ(scale.dataMax(), *values.second);
        EXPECT_EQ(std::max(-scale.dataMin(), scale.dataMax()), dHigh);
        EXPECT_EQ(dLow, c.nLowColour == 0 ? -dHigh : 0.0);
        // Each of the ramp's colours at its own value, and its ends beyond.
        for (int k = c.nLowColour - 1; k <= 11; ++k) {
            const double dValue = dLow + (k - c.nLowColour) * (dHigh - dLow) / (10 - c.nLowColour);
            EXPECT_EQ(scale.rgbAt(dValue), rampColour(k)) << k;
            float afRgba[4];
            ASSERT_EQ(smooth.getColorOf(dValue, afRgba), 1);
            EXPECT_EQ(bytes(afRgba), rampColour(k)) << k;
        }
        EXPECT_EQ(scale.barTop(), dHigh);
        EXPECT_EQ(scale.barBottom(), dLow);
        int nZeroTicks = 0;
        for (const CColorScale::STick& tick : scale.ticks()) {
            EXPECT_GE(tick.dValue, dLow);
            nZeroTicks += tick.dValue == 0.0;
        }
        EXPECT_EQ(nZeroTicks, 1);
        EXPECT_EQ(scale.ticks().size(), c.nTicks);
        // Levels on whole steps: the first one step from the low end or less, none at 0 when 0
        // is the end.
        const std::vector<double> aLevels = smooth.getIsolineLevels();
        ASSERT_GE(aLevels.size(), 2u);
        EXPECT_GT(aLevels.front(), dLow);
        EXPECT_LE(aLevels.front() - (aLevels[1] - aLevels.front()), dLow + 1e-12);
        EXPECT_LT(aLevels.back(), dHigh);
        EXPECT_EQ(std::count(aLevels.begin(), aLevels.end(), 0.0), c.nLowColour == 0 ? 1 : 0);
    }
}

std::vector<CColorScale::STick> ticksOf(const std::vector<CColorScale::ETick>& aKinds) {
    std::vector<CColorScale::STick> aTicks;
    for (CColorScale::ETick nKind : aKinds)
        aTicks.push_back({nKind, 0.0});
    return aTicks;
}

// Every placed label inside its room, in the order of their ticks, no two closer than the gap.
void expectNoCollision(const std::vector<double>& aCentres, double dGap, double dTop,
                       double dBottom) {
    std::vector<double> aPlaced;
    std::copy_if(aCentres.begin(), aCentres.end(), std::back_inserter(aPlaced),
                 [](double d) { return !std::isnan(d); });
    for (std::size_t i = 0; i < aPlaced.size(); ++i) {
        EXPECT_GE(aPlaced[i], i == 0 ? dTop : aPlaced[i - 1] + dGap - 1e-9) << i;
        EXPECT_LE(aPlaced[i], dBottom) << i;
    }
}

TEST(TickLabels, ThresholdLabelsNeverCrowdTheExtremes) {
    using T = CColorScale;
    const std::vector<T::ETick> aBar = {T::tickMax, T::tickUpperThreshold, T::tickMin,
                                        T::tickLowerThreshold},
                                aExtremes = {T::tickMax, T::tickMin},
                                aThresholds = {T::tickUpperThreshold, T::tickLowerThreshold};
    const double N = NAN; // left out
    const struct {
        const char* pszCase;
        std::vector<T::ETick> aKinds;
        std::vector<double> aRows;
        double dTop, dBottom;
        std::vector<double> aExpected;
    } cases[] = {
        {"room enough", aBar, {10, 50, 80, 95}, 0, 100, {10, 50, 80, 95}},
        // All values positive: the minimum lies just above the lower threshold at the bottom.
        {"threshold under the minimum", aBar, {0, 50, 99, 100}, 0, 100, {0, 50, 99, N}},
        {"threshold on the minimum's row", aBar, {0, 50, 100, 100}, 0, 100, {0, 50, 100, N}},
        {"threshold beside the maximum moves", aBar, {0, 4, 60, 100}, 0, 100, {0, 10, 60, 100}},
        {"no room for thresholds", aBar, {0, 5, 10, 15}, 0, 15, {0, N, 10, N}},
        {"extremes closer than a line", aExtremes, {0, 3}, 0, 100, {0, 10}},
        {"room for one label", aExtremes, {0, 5}, 0, 5, {0, N}},
        {"thresholds only", aThresholds, {40, 41}, 0, 100, {40, 50}},
        {"nothing", {}, {}, 0, 100, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        const std::vector<double> aCentres =
            placeTickLabels(ticksOf(c.aKinds), c.aRows, 10, c.dTop, c.dBottom);
        EXPECT_THAT(aCentres, testing::Pointwise(testing::NanSensitiveDoubleEq(), c.aExpected));
    }

    // Any four ticks in any room: no collision, and the extremes labelled while there is room.
    std::mt19937 random(5);
    for (int nRound = 0; nRound < 2000; ++nRound) {
        const double dBottom = std::uniform_real_distribution<double>(0.0, 200.0)(random);
        std::uniform_real_distribution<double> row(0.0, dBottom);
        std::vector<double> aRows = {row(random), row(random), row(random), row(random)};
        std::sort(aRows.begin(), aRows.end());
        const std::vector<double> aCentres = placeTickLabels(ticksOf(aBar), aRows, 12, 0, dBottom);
        expectNoCollision(aCentres, 12, 0, dBottom);
        EXPECT_FALSE(std::isnan(aCentres[0])) << "the maximum always gets its label";
        if (dBottom >= 12) {
            EXPECT_FALSE(std::isnan(aCentres[2])) << "room for both extremes";
        }
    }
}

} // namespace
