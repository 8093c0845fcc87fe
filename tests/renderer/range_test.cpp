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

TEST(RendererRange, MissingPiecesReturnZeroAndChangeNothing) {
    CShow3DCntMapqv map;
    EXPECT_EQ(map._checkSensorPosVlm(), 0);
    EXPECT_EQ(map._checkSensorPosVlmFrqc(), 0);
    EXPECT_EQ(map._checkSensorPosVlmSpctm(), 0);

    auto pData = makeTestRecording({at(0, 0, 0, 1.0), at(20, 0, 0, 2.0)});
    map.setMegData(pData.get());
    map.m_nSpctmSelector = 4;
    map.m_dCenterX = 5.0;
    EXPECT_EQ(map._checkSensorPosVlmFrqc(), 0);
    EXPECT_EQ(map._checkSensorPosVlmSpctm(), 0);
    map.m_nSpctmSelector = 0;

    CSpctmTrialqv* pSpctm = pData->getTrialqv(-1)->getSpctmTrial(false, 0);
    for (auto cell : {std::pair<int, int>{0, 2}, std::pair<int, int>{1, 0}}) {
        pSpctm->m_nSelectRow = cell.first;
        pSpctm->m_nSelectColumn = cell.second;
        map.m_dColorMax = 9.0;
        EXPECT_EQ(map._checkSensorPosVlmSpctm(), 0);
        EXPECT_EQ(map.m_dCenterX, 5.0);
        EXPECT_EQ(map.m_dColorMax, 9.0);
    }
}

// A host may set any selection in its spectral results: one outside the arrays leaves every
// channel without a value, as if none had an array, instead of reading past them (the
// sanitizer run tells).
TEST(RendererRange, SelectionsOutsideTheArraysFindNoValues) {
    auto pData = makeTestRecording({at(0, 0, 0, 1.0), at(20, 0, 0, 2.0)});
    CSpctmTrialqv* pSpctm = pData->getTrialqv(-1)->getSpctmTrial(false, 0);
    const auto expectNothingFound = [](CShow3DCntMapqv& map, int nFitted) {
        EXPECT_EQ(nFitted, 1);
        EXPECT_EQ(map.m_dCenterX, 5.0) << "no sensor placed the centre";
        EXPECT_EQ(map.m_dColorMax, 0.0);
        EXPECT_EQ(map.m_dColorMin, 0.0);
    };
    for (int nBin : {-1, 1 << 20}) {
        SCOPED_TRACE(nBin);
        pSpctm->m_nSelectFreqBin = nBin;
        CShow3DCntMapqv map;
        map.m_dCenterX = 5.0;
        EXPECT_EQ(map.setMegDataFrqc(pData.get()), 1);
        expectNothingFound(map, map._checkSensorPosVlmFrqc());
    }
    for (auto cell : {std::pair<int, int>{1, 1 << 20}, std::pair<int, int>{1 << 20, 1}}) {
        SCOPED_TRACE(cell.first);
        pSpctm->m_nSelectRow = cell.first;
        pSpctm->m_nSelectColumn = cell.second;
        CShow3DCntMapqv map;
        map.m_dCenterX = 5.0;
        EXPECT_EQ(map.setMegDataSpctm(pData.get()), 1);
        expectNothingFound(map, map._checkSensorPosVlmSpctm());
    }
}

TEST(RendererRange, SpectralChecksReadTheirOwnElement) {
    auto pData = makeTestRecording({at(0, 0, 0, 2.0), at(20, 0, 0, 4.0),
                                    without(&STestChannel::bSpectral, at(1000, 0, 0, 100.0))});
    CShow3DCntMapqv map;
    map.setMegData(pData.get());
    ASSERT_EQ(map._checkSensorPosVlmFrqc(), 1);
    EXPECT_DOUBLE_EQ(map.m_dColorMax, (4.0 + nTestSelectedBin) * 0.5);
    EXPECT_DOUBLE_EQ(map.m_dCenterX, 10.0);
    // The spectral check counts row and column from 1: element (row-1)*4 + (column-1).
    ASSERT_EQ(map._checkSensorPosVlmSpctm(), 1);
    const int nElement = (nTestSelectedRow - 1) * 4 + (nTestSelectedColumn - 1);
    EXPECT_DOUBLE_EQ(map.m_dColorMax, (4.0 + nElement) * 0.5);
    EXPECT_DOUBLE_EQ(map.m_dColorMin, (2.0 + nElement) * 0.5);
}

class RendererColor : public GLContextTest {
protected:
    CTestMap m_map;

    void fitWorkedExample() {
        m_map.m_dColorMin = -2.0;
        m_map.m_dColorStepMin = -2.0 / 380.0;
        m_map.m_dColorMax = 3.0;
        m_map.m_dColorStepMax = 3.0 / 380.0;
    }
    static std::vector<float> material(GLenum nParam) {
        std::vector<float> v(4);
        glGetMaterialfv(GL_FRONT, nParam, v.data());
        return v;
    }
    static std::vector<float> entry(float* const* table, int nIndex) {
        return std::vector<float>(table[nIndex], table[nIndex] + 4);
    }
    std::vector<float> upper(int nIndex) {
        return entry(m_map.m_Index2Color.m_pColorTableMax, nIndex);
    }
    std::vector<float> lower(int nIndex) {
        return entry(m_map.m_Index2Color.m_pColorTableMin, nIndex);
    }
};

TEST_F(RendererColor, ValuesLandOnTheirTableEntries) {
    fitWorkedExample();
    struct SCase {
        float fValue;
        int nTable;
        int nIndex;
    };
    const SCase cases[] = {
        {6.0f, 2, 380},    {3.0f, 2, 0},  {10.0f, 2, 511}, {-2.0f, 1, 0}, {-4.0f, 1, 380},
        {-100.0f, 1, 511}, {3.05f, 2, 6}, {2.9f, 0, -1},   {0.0f, 0, -1},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.fValue);
        EXPECT_EQ(m_map._setColor(c.fValue), c.nTable);
        if (c.nTable == 0) {
            continue;
        }
        const std::vector<float> expected = c.nTable == 2 ? upper(c.nIndex) : lower(c.nIndex);
        EXPECT_EQ(material(GL_EMISSION), expected);
        EXPECT_EQ(material(GL_SPECULAR), expected);
        std::vector<float> current(4);
        glGetFloatv(GL_CURRENT_COLOR, current.data());
        EXPECT_EQ(current, expected);
    }
}

TEST_F(RendererColor, NeutralBandAndNaNSetBlackAndLeaveTheColour) {
    fitWorkedExample();
    for (float fValue : {2.9f, std::nanf("")}) {
        m_map._setColor(6.0f);
        std::vector<float> before(4);
        glGetFloatv(GL_CURRENT_COLOR, before.data());
        EXPECT_EQ(m_map._setColor(fValue), 0);
        EXPECT_EQ(material(GL_EMISSION), (std::vector<float>{0, 0, 0, 1}));
        EXPECT_EQ(material(GL_SPECULAR), (std::vector<float>{0, 0, 0, 1}));
        std::vector<float> after(4);
        glGetFloatv(GL_CURRENT_COLOR, after.data());
        EXPECT_EQ(after, before);
    }
}

TEST_F(RendererColor, UpperTestComesFirstAndZeroStepsSaturate) {
    // Thresholds typed the wrong way round: a value at or above the upper one is always upper.
    m_map.m_dColorMin = 5.0;
    m_map.m_dColorMax = 1.0;
    m_map.m_dColorStepMax = 1.0;
    m_map.m_dColorStepMin = 1.0;
    EXPECT_EQ(m_map._setColor(3.0f), 2);
    EXPECT_EQ(m_map._setColor(0.5f), 1);

    // After an all-zero fit: 0 is upper entry 0, 1 is far beyond (quotient 10000).
    m_map.m_dColorMin = m_map.m_dColorMax = 0.0;
    m_map.m_dColorStepMin = m_map.m_dColorStepMax = 0.0001;
    EXPECT_EQ(m_map._setColor(0.0f), 2);
    EXPECT_EQ(material(GL_EMISSION), upper(0));
    EXPECT_EQ(m_map._setColor(1.0f), 2);
    EXPECT_EQ(material(GL_EMISSION), upper(511));

    // A never-fitted zero step: equality gives entry 0 (0/0), anything beyond the last entry.
    m_map.m_dColorStepMax = 0.0;
    EXPECT_EQ(m_map._setColor(0.0f), 2);
    EXPECT_EQ(material(GL_EMISSION), upper(0));
    EXPECT_EQ(m_map._setColor(1e30f), 2);
    EXPECT_EQ(material(GL_EMISSION), upper(511));
}

} // namespace
