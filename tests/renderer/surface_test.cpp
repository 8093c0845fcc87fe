#include "glcontextfixture.h"
#include "glrecorder.h"
#include "rendertestsupport.h"

#include <GL/gl.h>

#include <cmath>

namespace {

using Vertex = std::vector<double>;

class RendererSurface : public GLContextTest {
protected:
    CTestMap m_map;
    std::unique_ptr<CMEGDataqv> m_pData;

    std::vector<STestChannel> m_channels;

    void load(const std::vector<STestChannel>& channels) {
        m_channels = channels;
        m_pData = makeTestRecording(channels);
        m_map.setMegData(m_pData.get());
        m_map.m_bAutofitPlace = 0;
    }
    static Vertex v(double x, double y, double z) { return {x, y, z}; }
    // The slots whose sensors a fan's vertices stand for, in order (the exact vertices are the
    // stream references' business). Sensors lie millimetres apart and are not recentred.
    std::vector<int> slots(const std::vector<Vertex>& fan) const {
        std::vector<int> result;
        for (const Vertex& vertex : fan) {
            int nSlot = -1;
            for (std::size_t i = 0; i < m_channels.size() && nSlot < 0; ++i) {
                const STestChannel& c = m_channels[i];
                if (!c.bEmpty && std::fabs(vertex.at(0) - c.x) < 1e-3 &&
                    std::fabs(vertex.at(1) - c.y) < 1e-3 && std::fabs(vertex.at(2) - c.z) < 1e-3)
                    nSlot = static_cast<int>(i);
            }
            result.push_back(nSlot);
        }
        return result;
    }
};

TEST_F(RendererSurface, NeighboursWithinTheRadiusIncludingItself) {
    struct SCase {
        double dDistance;
        bool bNeighbours;
    };
    for (const SCase& c : {SCase{59.9, true}, SCase{60.0, true}, SCase{60.1, false}}) {
        SCOPED_TRACE(c.dDistance);
        load({at(0, 0, 0, 1.0), at(c.dDistance, 0, 0, 2.0)});
        for (int nVariant = 0; nVariant < 3; ++nVariant) {
            CGLRecorder recorder;
            const int nResult = nVariant == 0   ? m_map.drawSensorMapTriFan()
                                : nVariant == 1 ? m_map.drawSensorMapTriFanFrqc()
                                                : m_map.drawSensorMapTriFanSpctm();
            EXPECT_EQ(nResult, 1);
            const auto fans = recorder.primitives(GL_TRIANGLE_FAN);
            ASSERT_EQ(fans.size(), 2u);
            if (c.bNeighbours) {
                // Rim vertices follow slot order; the centre repeats itself.
                EXPECT_EQ(slots(fans[0]), (std::vector<int>{0, 0, 1}));
                EXPECT_EQ(slots(fans[1]), (std::vector<int>{1, 0, 1}));
            } else {
                EXPECT_EQ(slots(fans[0]), (std::vector<int>{0, 0}));
                EXPECT_EQ(slots(fans[1]), (std::vector<int>{1, 1}));
            }
        }
    }
}

TEST_F(RendererSurface, DistancePrecisionDiffersBetweenVariants) {
    // 60.000001 rounds to 60.0f: a neighbour in single precision, not in double.
    load({at(0, 0, 0, 1.0), at(60.000001, 0, 0, 2.0)});
    auto rimOfFirstFan = [&](int nVariant) {
        CGLRecorder recorder;
        nVariant == 0   ? m_map.drawSensorMapTriFan()
        : nVariant == 1 ? m_map.drawSensorMapTriFanFrqc()
                        : m_map.drawSensorMapTriFanSpctm();
        return recorder.primitives(GL_TRIANGLE_FAN).at(0).size();
    };
    EXPECT_EQ(rimOfFirstFan(0), 3u);
    EXPECT_EQ(rimOfFirstFan(1), 2u);
    EXPECT_EQ(rimOfFirstFan(2), 3u);
}

TEST_F(RendererSurface, ChannelNotGoodForAllTrialsHasAFanButIsInNoRim) {
    STestChannel bad = at(20, 0, 0, 2.0);
    bad.bGood = false;
    load({at(0, 0, 0, 1.0), bad});
    {
        CGLRecorder recorder;
        m_map.drawSensorMapTriFan();
        const auto fans = recorder.primitives(GL_TRIANGLE_FAN);
        ASSERT_EQ(fans.size(), 2u);
        EXPECT_EQ(slots(fans[0]), (std::vector<int>{0, 0}));
        EXPECT_EQ(slots(fans[1]), (std::vector<int>{1, 0}));
    }
    {
        // Only the time-domain surface asks.
        CGLRecorder recorder;
        m_map.drawSensorMapTriFanFrqc();
        EXPECT_EQ(recorder.primitives(GL_TRIANGLE_FAN).at(1).size(), 3u);
    }
}

TEST_F(RendererSurface, SkippedChannels) {
    STestChannel empty;
    empty.bEmpty = true;
    STestChannel eeg = at(5, 0, 0);
    eeg.bMeg = false;
    STestChannel noCoil = at(6, 0, 0);
    noCoil.bCoil = false;
    STestChannel noSpectrum = at(7, 0, 0);
    noSpectrum.bSpectral = false;
    STestChannel noWave = at(8, 0, 0);
    noWave.bWave = false;
    load({empty, eeg, noCoil, at(0, 0, 0), noSpectrum, noWave});
    CGLRecorder time;
    m_map.drawSensorMapTriFan();
    // Time domain: the channels without spectrum or samples are still centres and rims.
    const auto timeFans = time.primitives(GL_TRIANGLE_FAN);
    ASSERT_EQ(timeFans.size(), 3u);
    EXPECT_EQ(timeFans[0].size(), 4u);
    CGLRecorder frqc;
    m_map.drawSensorMapTriFanFrqc();
    // Frequency: spectral data is needed as centre and as rim.
    const auto frqcFans = frqc.primitives(GL_TRIANGLE_FAN);
    ASSERT_EQ(frqcFans.size(), 2u);
    EXPECT_EQ(slots(frqcFans[0]), (std::vector<int>{3, 3, 5}));
}

TEST_F(RendererSurface, NoMeasuringChannelDrawsNothing) {
    STestChannel eeg = at(0, 0, 0);
    eeg.bMeg = false;
    load({eeg});
    CGLRecorder recorder;
    EXPECT_EQ(m_map.drawSensorMapTriFan(), 1);
    EXPECT_EQ(recorder.count("glBegin"), 0u);
}

TEST_F(RendererSurface, NothingToDrawFromMakesNoCall) {
    CGLRecorder recorder;
    EXPECT_EQ(m_map.drawSensorMapTriFan(), 0);
    EXPECT_EQ(m_map.drawSensorMapTriFanFrqc(), 0);
    load({at(0, 0, 0)});
    m_map.m_nSpctmSelector = 2;
    EXPECT_EQ(m_map.drawSensorMapTriFanFrqc(), 0);
    EXPECT_EQ(m_map.drawSensorMapTriFanSpctm(), 0);
    EXPECT_TRUE(recorder.calls().empty());
}

TEST_F(RendererSurface, AutofitPlaceShiftsVerticesAndNormals) {
    load({at(10, 5, 0, 1.0)});
    m_map.m_bAutofitPlace = 1;
    m_map.m_dCenterX = 10.0;
    CGLRecorder recorder;
    m_map.drawSensorMapTriFan();
    EXPECT_EQ(recorder.named("glVertex3f").at(0).adArgs, v(0, 5, 0));
    EXPECT_EQ(recorder.named("glNormal3f").at(0).adArgs, v(0, 5, 0));
    m_map.m_bAutofitPlace = 0;
    CGLRecorder raw;
    m_map.drawSensorMapTriFan();
    EXPECT_EQ(raw.named("glNormal3f").at(0).adArgs, v(10, 5, 0));
}

TEST_F(RendererSurface, EachVertexTakesItsOwnColour) {
    load({at(0, 0, 0, -4.0), at(20, 0, 0, 6.0)});
    m_map._checkSensorPosVlm();
    CGLRecorder recorder;
    m_map.drawSensorMapTriFan();
    // Fan 0: centre (-4: lower 380), rim 0 (lower 380), rim 1 (6: upper 380).
    const auto colours = recorder.named("glColor4fv");
    ASSERT_EQ(colours.size(), 6u);
    const float* pLower = m_map.m_Index2Color.m_pColorTableMin[380];
    const float* pUpper = m_map.m_Index2Color.m_pColorTableMax[380];
    EXPECT_EQ(colours[0].adArgs, (std::vector<double>(pLower, pLower + 4)));
    EXPECT_EQ(colours[2].adArgs, (std::vector<double>(pUpper, pUpper + 4)));

    m_map.m_bContourAct = 0;
    CGLRecorder plain;
    m_map.drawSensorMapTriFan();
    EXPECT_EQ(plain.count("glColor4fv"), 0u);
    for (const SGLCall& call : plain.named("glMaterialfv")) {
        EXPECT_NE(call.nPname, unsigned(GL_EMISSION));
    }
}

TEST_F(RendererSurface, ShowSequencesFollowTheSwitches) {
    load({at(0, 0, 0, 1.0)});
    m_pData->createFidWorkMeg()->m_FiduciaryPt[0].setPoint(0, 90, 0);
    auto spheres = [&](int nVariant, std::size_t& nFans) {
        CGLRecorder recorder;
        EXPECT_EQ(nVariant == 0   ? m_map.show3DCntMap()
                  : nVariant == 1 ? m_map.show3DCntMapFrqc()
                                  : m_map.show3DCntMapSpctm(),
                  1);
        nFans = recorder.primitives(GL_TRIANGLE_FAN).size();
        return recorder.count("gluSphere");
    };
    std::size_t nFans = 0;
    EXPECT_EQ(spheres(0, nFans), 2u); // the sensor and one fiducial
    EXPECT_EQ(nFans, 1u);
    EXPECT_EQ(spheres(1, nFans), 1u); // never fiducials
    EXPECT_EQ(spheres(2, nFans), 1u);

    m_map.m_bContourMap = 0;
    EXPECT_EQ(spheres(0, nFans), 2u);
    EXPECT_EQ(nFans, 0u);
    m_map.m_bSensors = 0;
    EXPECT_EQ(spheres(0, nFans), 1u);
    m_map.m_bShowFiducialPts = false;
    CGLRecorder recorder;
    EXPECT_EQ(m_map.show3DCntMap(), 1);
    EXPECT_TRUE(recorder.calls().empty());
}

TEST_F(RendererSurface, MarkersComeBeforeTheSurfaceAndFiducialsLast) {
    load({at(0, 0, 0, 1.0)});
    m_pData->createFidWorkMeg()->m_FiduciaryPt[2].setPoint(0, 90, 0);
    CGLRecorder recorder;
    m_map.show3DCntMap();
    std::vector<std::string> order;
    for (const SGLCall& call : recorder.calls()) {
        if (call.strName == "gluSphere" || call.strName == "glBegin") {
            order.push_back(call.strName);
        }
    }
    EXPECT_EQ(order, (std::vector<std::string>{"gluSphere", "glBegin", "gluSphere"}));
}

} // namespace
