// The values: the spline against an analytic field, at the sensors, per map kind, and which
// channels take part; and the surface they lie on.

#include "fieldmaptestsupport.h"

#include "bscmagsns.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "spctmtrial.h"
#include "syntheticrecording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
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
        double dNearest = dShell;
        for (const P3& s : aSensors) {
            dNearest = std::min(dNearest, (s - p).norm());
        }
        if (dNearest < 0.3 * dSpacing) {
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

// Dipoles 30 to 50 mm deep, tangential, in several places and directions, under 150 to 300
// sensors. At surface points between the sensors
// the root-mean-square error stays within 2 % of the peak, and the largest error within 5 %
// wherever the sensors sample the field, that is where their spacing is at most 0.65 of the
// source's depth (a source 30 mm below 150 or 200 sensors, or 35 mm below 150, has its two lobes
// about one spacing apart: no interpolation of those values places the peaks to 5 %). At the
// sensors the spline gives their own values back, up to its regularisation.
TEST(SmoothInterpolation, FollowsTheRadialFieldOfADipoleBetweenTheSensors) {
    const SDipoleCase cases[] = {{150, 30.0, 40.0, 60.0, 30.0},  {150, 40.0, 45.0, 240.0, 135.0},
                                 {150, 50.0, 50.0, 120.0, 90.0}, {200, 40.0, 30.0, 0.0, 0.0},
                                 {250, 35.0, 40.0, 60.0, 30.0},  {300, 30.0, 30.0, 0.0, 0.0},
                                 {300, 30.0, 50.0, 120.0, 90.0}, {300, 50.0, 20.0, 300.0, 60.0}};
    for (const SDipoleCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.nSensors << " sensors, " << c.dDepth << " mm at " << c.dThetaDeg << "/"
                     << c.dPhiDeg << ", turn " << c.dTurnDeg);
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

// The surface: one piece per group of sensors, no holes, no folds, outward, through every sensor.

// The surface of the recording's map, nUsable sensors taking part, checked against aSensors (none:
// those taking part); in one piece when bOnePiece.
void expectSound(CMEGDataqv* pData, std::vector<P3> aSensors, int nUsable, bool bOnePiece) {
    CShow3DCntMapqv map;
    map.setMegData(pData);
    CSmoothFieldMap smooth;
    ASSERT_EQ(smooth.update(map, CSmoothFieldMap::kindTime), 1) << smooth.getMessage();
    EXPECT_EQ(smooth.getSensorCount(), nUsable);
    for (double d : smooth.getVertexValues()) {
        ASSERT_TRUE(std::isfinite(d));
    }
    for (int nSlot : aSensors.empty() ? smooth.getSensorSlots() : std::vector<int>()) {
        P3& p = aSensors.emplace_back();
        pData->getTrialqv(-1)->getAllChannelPt()[nSlot]->getMEGCoilqv(0)->getCoilPositionD(
            p[0], p[1], p[2]);
    }
    const SSurfaceReport r = inspectSurface(smooth, aSensors);
    if (bOnePiece) {
        EXPECT_EQ(r.nComponents, 1);
    }
    EXPECT_GT(r.nVertices, 100);
    // Holes would lower V - E + F by one each.
    EXPECT_EQ(r.nEuler, r.nRimEdges > 0 ? r.nComponents : 2 * r.nComponents);
    EXPECT_EQ(r.nOverusedEdges, 0);
    EXPECT_EQ(r.nFlipped, 0);
    EXPECT_EQ(r.nUncovered, 0);
    // Through the sensor shell: each sensor within 1 % of the radius of the surface; and no
    // farther out than about two sensor spacings.
    EXPECT_LT(r.dShellGap, 0.01);
    EXPECT_LT(r.dReach, 3.0);
}

TEST(SmoothSurface, SyntheticHelmetsOfEverySize) {
    for (int nChannels : {20, 100, 275, 600}) {
        SCOPED_TRACE(nChannels);
        CSyntheticOptionsqv options;
        options.nMegChannels = nChannels;
        auto pData = makeSyntheticRecording(options);
        // The synthetic helmet's flat channel is flagged bad.
        expectSound(pData.get(), {}, nChannels - 1, true);
    }
}

TEST(SmoothSurface, SparseFlatAndScatteredSets) {
    struct SCase {
        const char* pszName;
        std::vector<P3> aSensors;
    };
    std::vector<P3> aGap = spiralCap(120, 110.0, 100.0);
    // A patch of sensors missing in the middle of the array leaves no hole.
    aGap.erase(std::remove_if(aGap.begin(), aGap.end(),
                              [](const P3& p) { return std::hypot(p[0] - 50.0, p[1]) < 35.0; }),
               aGap.end());
    const SCase aCases[] = {
        {"three", {{0, 0, 100}, {40, 0, 90}, {0, 40, 90}}},
        {"a handful", spiralCap(6, 100.0, 60.0)},
        {"flat patch", {{0, 0, 90}, {30, 0, 90}, {0, 30, 90}, {30, 30, 90}, {15, 15, 90}}},
        {"whole sphere", spiralCap(80, 100.0, 180.0)},
        {"gap", aGap},
    };
    for (const SCase& c : aCases) {
        SCOPED_TRACE(c.pszName);
        auto pData = recordingAt(c.aSensors, std::vector<double>(c.aSensors.size(), 1.0));
        expectSound(pData.get(), c.aSensors, static_cast<int>(c.aSensors.size()), false);
    }
}

// Sets shaped like the common MEG systems, written by meg_systems.py from MNE-Python's helmet
// surfaces into the file named by CM3D_MEG_SYSTEMS.
TEST(SmoothSurface, SetsShapedLikeTheCommonMegSystems) {
    const char* pszPath = std::getenv("CM3D_MEG_SYSTEMS");
    if (!pszPath) {
        GTEST_SKIP() << "CM3D_MEG_SYSTEMS is not set (the fieldmap_meg_systems test sets it)";
    }
    std::ifstream in(pszPath);
    ASSERT_TRUE(in) << pszPath;
    std::map<std::string, std::vector<P3>> systems;
    std::string strLine;
    while (std::getline(in, strLine)) {
        std::istringstream line(strLine);
        std::string strSystem;
        P3 p;
        if (line >> strSystem >> p[0] >> p[1] >> p[2]) {
            systems[strSystem].push_back(p);
        }
    }
    ASSERT_GE(systems.size(), 5u);
    for (const auto& [strSystem, aSensors] : systems) {
        SCOPED_TRACE(strSystem);
        // A dipolar field over the helmet, so that the values vary as in a recording.
        std::vector<double> aValues;
        for (const P3& s : aSensors) {
            aValues.push_back(radialField(s, {-30.0, 10.0, 40.0}, {0.0, 0.0, 1.0}));
        }
        expectSound(recordingAt(aSensors, aValues).get(), aSensors,
                    static_cast<int>(aSensors.size()), false);
    }
}

} // namespace
