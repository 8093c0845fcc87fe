#include "glcontextfixture.h"
#include "rendertestsupport.h"

#include "mdtrial.h"
#include "spctmtrial.h"

#include <GL/gl.h>

#include <cmath>

namespace {

std::vector<STestChannel> _valueChannels(std::initializer_list<double> values) {
    std::vector<STestChannel> channels;
    double x = 0.0;
    for (double v : values) {
        channels.push_back(at(x, 0.0, 0.0, v));
        x += 10.0;
    }
    return channels;
}

TEST(RendererRange, ThresholdsAreHalfTheExtremesAndExtremesLandOnEntry380) {
    struct SCase {
        const char* pszName;
        std::vector<STestChannel> channels;
        double dMin, dStepMin, dMax, dStepMax;
    };
    const SCase cases[] = {
        {"-4 to 6", _valueChannels({-4.0, 1.0, 6.0}), -2.0, -2.0 / 380.0, 3.0, 3.0 / 380.0},
        {"all zero", _valueChannels({0.0, 0.0}), 0.0, 0.0001, 0.0, 0.0001},
        {"all five", _valueChannels({5.0, 5.0}), 2.5, 2.5 / 380.0, 2.5, 2.5 / 380.0},
        {"one to five", _valueChannels({1.0, 5.0}), 0.5, 0.5 / 380.0, 2.5, 2.5 / 380.0},
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

TEST(RendererRange, CentreIsTheBoundingBoxOfQualifyingChannels) {
    auto pData = makeTestRecording(
        {at(10, -20, 30, 1.0), without(&STestChannel::bCoil, at(1000, 1000, 1000, 50.0)),
         at(30, 40, -10, 2.0), without(&STestChannel::bWave, at(-1000, 0, 0, 50.0)),
         without(&STestChannel::bMeg, at(0, -1000, 0, 50.0)), at(20, 0, 0, 3.0)});
    CShow3DCntMapqv map;
    map.setMegData(pData.get());
    ASSERT_EQ(map._checkSensorPosVlm(), 1);
    EXPECT_DOUBLE_EQ(map.m_dCenterX, 20.0);
    EXPECT_DOUBLE_EQ(map.m_dCenterY, 10.0);
    EXPECT_DOUBLE_EQ(map.m_dCenterZ, 10.0);
    // Skipped channels do not widen the value range either.
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
    } cases[] = {{"colour off, place on: centre only", 0, 1, 10.0, 1.0, 0.0},
                 {"colour on, place off: centre still computed", 1, 0, 10.0, 3.0, 3.0 / 380.0},
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

// Each value's band and table entry under a range: the colour is the emission, the specular
// colour and the current colour; the neutral band (and NaN) sets a black emission and specular
// colour and leaves the current colour as it was. The entries at the thresholds' edges are the
// colour scale's tests' (the same colour entry); here, the ranges only a renderer has.
using RendererColor = GLContextTest;

TEST_F(RendererColor, ValuesLandOnTheirTableEntries) {
    const double adFitted[] = {-2.0, -2.0 / 380.0, 3.0, 3.0 / 380.0}; // min, step, max, step
    const double adReversed[] = {5.0, 1.0, 1.0, 1.0};                 // typed the wrong way round
    const double adAllZero[] = {0.0, 0.0001, 0.0, 0.0001};
    const double adNeverFitted[] = {0.0, 0.0001, 0.0, 0.0};
    const struct {
        const double* adRange;
        float fValue;
        int nTable; // 2 upper, 1 lower, 0 neutral
        int nIndex;
    } cases[] = {
        {adFitted, 6.0f, 2, 380},
        {adFitted, 10.0f, 2, 511},
        {adFitted, -4.0f, 1, 380},
        {adFitted, 2.9f, 0, 0},
        {adFitted, std::nanf(""), 0, 0},
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
    const auto material = [](GLenum nParam) {
        std::vector<float> v(4);
        glGetMaterialfv(GL_FRONT, nParam, v.data());
        return v;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.fValue << " in [" << c.adRange[0] << ", " << c.adRange[2] << "]");
        map.m_dColorMin = c.adRange[0];
        map.m_dColorStepMin = c.adRange[1];
        map.m_dColorMax = c.adRange[2];
        map.m_dColorStepMax = c.adRange[3];
        const float afBefore[4] = {0.25f, 0.5f, 0.75f, 1.0f};
        glColor4fv(afBefore);
        EXPECT_EQ(map._setColor(c.fValue), c.nTable);
        float* const* table =
            c.nTable == 2 ? map.m_Index2Color.m_pColorTableMax : map.m_Index2Color.m_pColorTableMin;
        const std::vector<float> expected =
            c.nTable == 0 ? std::vector<float>{0, 0, 0, 1}
                          : std::vector<float>(table[c.nIndex], table[c.nIndex] + 4);
        EXPECT_EQ(material(GL_EMISSION), expected);
        EXPECT_EQ(material(GL_SPECULAR), expected);
        std::vector<float> current(4);
        glGetFloatv(GL_CURRENT_COLOR, current.data());
        EXPECT_EQ(current, c.nTable == 0 ? std::vector<float>(afBefore, afBefore + 4) : expected);
    }
}

} // namespace
