// The values: the spline against an analytic field, at the sensors, per map kind, and which
// channels take part.

#include "fieldmaptestsupport.h"

#include "mdchannel.h"
#include "mdtrial.h"
#include "spctmtrial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace {

const double dPi = 3.14159265358979323846;
const double dShell = 115.0; // mm
const double dCapDeg = 95.0; // the sensors' cap

// The spacing of n sensors spread evenly over the test cap.
double sensorSpacing(int n) {
    return dShell * std::sqrt(2.0 * dPi * (1.0 - std::cos(dCapDeg * dPi / 180.0)) / n);
}

P3 polar(double dRadius, double dThetaDeg, double dPhiDeg) {
    const double t = dThetaDeg * dPi / 180.0, p = dPhiDeg * dPi / 180.0;
    return dRadius * P3(std::sin(t) * std::cos(p), std::sin(t) * std::sin(p), std::cos(t));
}

struct SDipoleCase {
    int nSensors;
    double dDepth;    // below the sensor shell, mm
    double dThetaDeg; // where the dipole sits
    double dPhiDeg;
    double dTurnDeg; // direction of its moment within the tangent plane
};

// Sensors, depth in mm, where (theta, phi in degrees) and the moment's turn.
void PrintTo(const SDipoleCase& c, std::ostream* pOut) {
    *pOut << c.nSensors << "sensors_" << c.dDepth << "mm_at" << c.dThetaDeg << "_" << c.dPhiDeg
          << "_turn" << c.dTurnDeg;
}

// How far the spline is from the true field of a case: the largest and the root-mean-square
// error at surface points between the sensors (inside the cap, not on a sensor), as shares of the
// peak sensor value, and the largest error at the sensors themselves.
struct SErrors {
    int nPoints = 0;
    double dWorst = 0.0, dRms = 0.0, dAtSensors = 0.0;
};

SErrors interpolationErrors(const SDipoleCase& c) {
    SErrors e;
    const std::vector<P3> aSensors = spiralCap(c.nSensors, dShell, dCapDeg);
    const P3 rq = polar(dShell - c.dDepth, c.dThetaDeg, c.dPhiDeg);
    // Two tangent directions at rq, turned by dTurnDeg.
    const double a = c.dTurnDeg * dPi / 180.0;
    const P3 q = std::cos(a) * polar(1.0, c.dThetaDeg + 90.0, c.dPhiDeg) +
                 std::sin(a) * polar(1.0, 90.0, c.dPhiDeg + 90.0);
    std::vector<double> aValues;
    double dPeak = 0.0;
    for (const P3& s : aSensors) {
        aValues.push_back(radialField(s, rq, q));
        dPeak = std::max(dPeak, std::fabs(aValues.back()));
    }
    auto pData = recordingAt(aSensors, aValues);
    CShow3DCntMapqv map;
    map.setMegData(pData.get());
    CSmoothFieldMap smooth;
    if (smooth.update(map, CSmoothFieldMap::kindTime) != 1) {
        ADD_FAILURE() << smooth.getMessage();
        return e;
    }
    const double dSpacing = sensorSpacing(c.nSensors);
    const std::vector<float>& aV = smooth.getVertices();
    const std::vector<double>& aF = smooth.getVertexValues();
    double dSquares = 0.0;
    for (std::size_t v = 0; v < aF.size(); ++v) {
        const P3 p(aV[3 * v], aV[3 * v + 1], aV[3 * v + 2]);
        const double dTheta = std::acos(p[2] / p.norm()) * 180.0 / dPi;
        if (dTheta > dCapDeg - 20.0) {
            continue;
        }
        std::size_t nNearest = 0;
        for (std::size_t i = 1; i < aSensors.size(); ++i) {
            if ((aSensors[i] - p).norm() < (aSensors[nNearest] - p).norm()) {
                nNearest = i;
            }
        }
        if ((aSensors[nNearest] - p).norm() < 0.3 * dSpacing) {
            continue;
        }
        ++e.nPoints;
        const double dTrue = radialField(p, rq, q);
        e.dWorst = std::max(e.dWorst, std::fabs(aF[v] - dTrue) / dPeak);
        dSquares += (aF[v] - dTrue) * (aF[v] - dTrue);
    }
    e.dRms = e.nPoints ? std::sqrt(dSquares / e.nPoints) / dPeak : 0.0;
    for (std::size_t i = 0; i < aSensors.size(); ++i) {
        double dValue = 0.0;
        if (smooth.getValueAt(aSensors[i].data(), dValue) == 1) {
            e.dAtSensors = std::max(e.dAtSensors, std::fabs(dValue - aValues[i]) / dPeak);
        } else {
            ADD_FAILURE() << "no value at sensor " << i;
        }
    }
    return e;
}

// Dipoles 30 to 50 mm deep, tangential, in several places and directions, and every sensor
// count from 150 to 300 with every depth from 30 to 50 mm. At surface points between the sensors
// the root-mean-square error stays within 2 % of the peak, and the largest error within 5 %
// wherever the sensors sample the field, that is where their spacing is at most 0.65 of the
// source's depth (a source 30 mm below 150 or 200 sensors, or 35 mm below 150, has its two lobes
// about one spacing apart: no interpolation of those values places the peaks to 5 %). At the
// sensors the spline gives their own values back, up to its regularisation.
TEST(SmoothInterpolation, FollowsTheRadialFieldOfADipoleBetweenTheSensors) {
    std::vector<SDipoleCase> cases = {
        {150, 40.0, 45.0, 240.0, 135.0}, {150, 50.0, 50.0, 120.0, 90.0},
        {200, 40.0, 30.0, 0.0, 0.0},     {300, 30.0, 30.0, 0.0, 0.0},
        {300, 30.0, 50.0, 120.0, 90.0},  {300, 50.0, 20.0, 300.0, 60.0}};
    for (int nSensors : {150, 200, 250, 300}) {
        for (double dDepth : {30.0, 35.0, 40.0, 45.0, 50.0}) {
            cases.push_back({nSensors, dDepth, 40.0, 60.0, 30.0});
        }
    }
    for (const SDipoleCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c));
        const SErrors e = interpolationErrors(c);
        EXPECT_GT(e.nPoints, 100);
        EXPECT_LT(e.dRms, 0.02);
        if (sensorSpacing(c.nSensors) <= 0.65 * c.dDepth) {
            EXPECT_LT(e.dWorst, 0.05) << "worst error " << e.dWorst * 100 << " % of the peak";
        }
        EXPECT_LT(e.dAtSensors, 1e-3);
    }
}

class SmoothTakingPart : public ::testing::Test {
protected:
    std::vector<STestChannel> m_channels;
    std::unique_ptr<CMEGDataqv> m_pData;
    CShow3DCntMapqv m_map;
    CSmoothFieldMap m_smooth;

    void SetUp() override {
        const std::vector<P3> aPositions = spiralCap(40, 100.0, 80.0);
        for (std::size_t i = 0; i < aPositions.size(); ++i) {
            m_channels.push_back(at(aPositions[i][0], aPositions[i][1], aPositions[i][2],
                                    aPositions[i][0])); // a gradient from left to right
        }
    }
    int load(int nKind) {
        m_pData = makeTestRecording(m_channels);
        m_map.setMegData(m_pData.get());
        return m_smooth.update(m_map, nKind);
    }
};

TEST_F(SmoothTakingPart, EachMapKindReadsTheRendererDrawingsElement) {
    // The test recording's spectral arrays hold value + k at element k: the frequency drawing
    // reads bin 2, the spectral drawing row 1, column 2 of 4.
    const std::pair<int, double> aKinds[] = {{CSmoothFieldMap::kindTime, 0.0},
                                             {CSmoothFieldMap::kindFrequency, 2.0},
                                             {CSmoothFieldMap::kindSpectral, 6.0}};
    for (const auto& [nKind, dOffset] : aKinds) {
        ASSERT_EQ(load(nKind), 1) << m_smooth.getMessage();
        ASSERT_EQ(m_smooth.getSensorCount(), 40);
        for (int i = 0; i < 40; ++i) {
            EXPECT_DOUBLE_EQ(m_smooth.getSensorValues()[i], m_channels[i].dValue + dOffset);
        }
    }
}

TEST_F(SmoothTakingPart, BadChannelsAndChannelsWithoutCoilOrValueLeaveTheFit) {
    ASSERT_EQ(load(CSmoothFieldMap::kindTime), 1);
    const std::vector<double> aClean = m_smooth.getVertexValues();
    // The same channels with four intruders of wild values: bad, coil-less, without samples,
    // and with a value that is not a number.
    const std::size_t nFirst = m_channels.size();
    for (int k = 0; k < 4; ++k) {
        m_channels.push_back(at(10.0 * k, 5.0, 99.0, k == 3 ? NAN : 1e6));
    }
    m_channels[nFirst].bGood = false;
    m_channels[nFirst + 1].bCoil = false;
    m_channels[nFirst + 2].bWave = false;
    ASSERT_EQ(load(CSmoothFieldMap::kindTime), 1);
    EXPECT_EQ(m_smooth.getSensorCount(), static_cast<int>(nFirst));
    EXPECT_EQ(m_smooth.getVertexValues(), aClean);
    // A spectral selection moved outside the arrays after loading (the renderer itself would
    // read past them) leaves every channel without a value.
    m_map.setMegDataFrqc(m_pData.get());
    m_pData->getTrialqv(-1)->getSpctmTrial(false, 0)->m_nSelectFreqBin = 12;
    EXPECT_EQ(m_smooth.update(m_map, CSmoothFieldMap::kindFrequency), 0);
    EXPECT_NE(std::string(m_smooth.getMessage()).find("0 usable sensors"), std::string::npos);
}

TEST_F(SmoothTakingPart, TooFewOrAlignedSensorsGiveAMessageNotASurface) {
    struct SCase {
        std::vector<STestChannel> channels;
        const char* pszMessage;
    };
    const SCase aCases[] = {
        {{at(0, 0, 100, 1.0)}, "1 usable sensor,"},
        {{at(0, 0, 100, 1.0), at(30, 0, 95, 2.0)}, "2 usable sensors"},
        {{at(0, 0, 100, 1.0), at(30, 0, 100, 2.0), at(60, 0, 100, 3.0)}, "on one line"},
        {{at(5, 5, 5, 1.0), at(5, 5, 5, 2.0), at(5, 5, 5, 3.0)}, "at one place"},
    };
    const std::vector<STestChannel> aUsable = m_channels;
    for (const SCase& c : aCases) {
        m_channels = c.channels;
        EXPECT_EQ(load(CSmoothFieldMap::kindTime), 0);
        EXPECT_NE(std::string(m_smooth.getMessage()).find(c.pszMessage), std::string::npos)
            << m_smooth.getMessage();
        EXPECT_TRUE(m_smooth.getTriangles().empty());
        EXPECT_EQ(m_smooth.pickSensorInLastFrame(0, 0), -1);
    }
    // Refusals keep nothing stale: the same usable sensors draw again after one.
    m_channels = aUsable;
    ASSERT_EQ(load(CSmoothFieldMap::kindTime), 1);
    CShow3DCntMapqv unloaded;
    EXPECT_EQ(m_smooth.update(unloaded, CSmoothFieldMap::kindTime), 0);
    EXPECT_EQ(m_smooth.update(m_map, 7), 0);
    EXPECT_NE(std::string(m_smooth.getMessage()).find("unknown map kind 7"), std::string::npos);
    EXPECT_EQ(m_smooth.pickSensorInLastFrame(0, 0), -1);
    EXPECT_EQ(m_smooth.update(m_map, CSmoothFieldMap::kindTime), 1) << m_smooth.getMessage();
}

TEST_F(SmoothTakingPart, ASelectionChangeGivesWhatAFreshMapGives) {
    // Sample 2 holds -999 everywhere but one channel, whose NaN changes the set taking part.
    ASSERT_EQ(load(CSmoothFieldMap::kindTime), 1);
    m_pData->getTrialqv(-1)->getAllChannelPt()[5]->setDataWave({1.0, 2.0, NAN});
    for (std::int64_t nSample : {0, 2, 1}) {
        m_pData->setSelect(nSample);
        CSmoothFieldMap fresh;
        ASSERT_EQ(m_smooth.update(m_map, CSmoothFieldMap::kindTime), 1);
        ASSERT_EQ(fresh.update(m_map, CSmoothFieldMap::kindTime), 1);
        EXPECT_EQ(m_smooth.getSensorSlots(), fresh.getSensorSlots());
        EXPECT_EQ(m_smooth.getVertices(), fresh.getVertices());
        EXPECT_EQ(m_smooth.getVertexValues(), fresh.getVertexValues());
    }
    EXPECT_EQ(m_smooth.getSensorCount(), 40);
}

} // namespace
