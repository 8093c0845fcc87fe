#include "glcontextfixture.h"
#include "glrecorder.h"
#include "rendertestsupport.h"

#include <GL/gl.h>

// Where the triangle fans' neighbour rule cuts off, and when no pass draws anything; the vertices,
// normals and colours of every variant, and the channels each skips, are held by the stream
// references.

namespace {

using Vertex = std::vector<double>;

class RendererSurface : public GLContextTest {
protected:
    CTestMap m_map;
    std::unique_ptr<CMEGDataqv> m_pData;

    void load(const std::vector<STestChannel>& channels) {
        m_pData = makeTestRecording(channels);
        m_map.setMegData(m_pData.get());
        m_map.m_bAutofitPlace = 0;
    }
    // The fans of the time-domain (0), frequency (1) or spectral (2) surface.
    std::vector<std::vector<Vertex>> fans(int nVariant) {
        CGLRecorder recorder;
        EXPECT_EQ(nVariant == 0   ? m_map.drawSensorMapTriFan()
                  : nVariant == 1 ? m_map.drawSensorMapTriFanFrqc()
                                  : m_map.drawSensorMapTriFanSpctm(),
                  1);
        auto drawn = recorder.primitives(GL_TRIANGLE_FAN);
        for (auto& fan : drawn)
            for (Vertex& vertex : fan)
                for (double& d : vertex)
                    d = static_cast<float>(d); // as glVertex3f took it
        return drawn;
    }
};

TEST_F(RendererSurface, NeighboursWithinTheRadiusIncludingItself) {
    struct SCase {
        double dDistance;
        bool abNeighbours[3]; // per variant
    };
    // 60.000001 rounds to 60.0f: a neighbour in single precision, not in the frequency
    // surface's double.
    const SCase cases[] = {{59.9, {true, true, true}},
                           {60.0, {true, true, true}},
                           {60.000001, {true, false, true}},
                           {60.1, {false, false, false}}};
    for (const SCase& c : cases) {
        load({at(0, 0, 0, 1.0), at(c.dDistance, 0, 0, 2.0)});
        for (int nVariant = 0; nVariant < 3; ++nVariant) {
            SCOPED_TRACE(testing::Message() << c.dDistance << " variant " << nVariant);
            // Rim vertices follow slot order; the centre repeats itself.
            const Vertex first{0, 0, 0}, second{static_cast<float>(c.dDistance), 0, 0};
            const auto expected =
                c.abNeighbours[nVariant]
                    ? std::vector<std::vector<Vertex>>{{first, first, second},
                                                       {second, first, second}}
                    : std::vector<std::vector<Vertex>>{{first, first}, {second, second}};
            EXPECT_EQ(fans(nVariant), expected);
        }
    }
}

// Surface, sensor and fiducial passes alike.
TEST_F(RendererSurface, PassesWithNothingToDrawFromMakeNoCall) {
    CGLRecorder recorder;
    EXPECT_EQ(m_map.drawSensorMapTriFan(), 0);
    EXPECT_EQ(m_map.drawSensorMapTriFanFrqc(), 0);
    EXPECT_EQ(m_map.drawSensors(), 0);
    EXPECT_EQ(m_map.drawSensorsFrqc(), 0);
    EXPECT_EQ(m_map.drawFiducial(), 0);
    load({at(0, 0, 0, 1.0)});
    EXPECT_EQ(m_map.drawFiducial(), 0); // none set
    m_pData->createFidWorkMeg()->m_FiduciaryPt[0].setPoint(0, 90, 0);
    m_map.m_bSensors = 0;
    m_map.m_bContourMap = 0;
    m_map.m_bShowFiducialPts = false;
    EXPECT_EQ(m_map.show3DCntMap(), 1); // every part switched off
    m_map.m_nSpctmSelector = 2;         // no spectral result under this selector
    EXPECT_EQ(m_map.drawSensorMapTriFanFrqc(), 0);
    EXPECT_EQ(m_map.drawSensorMapTriFanSpctm(), 0);
    EXPECT_EQ(m_map.drawSensorsFrqc(), 0);
    EXPECT_EQ(m_map.drawSensorsSpctm(), 0);
    EXPECT_TRUE(recorder.calls().empty());
    load({without(&STestChannel::bMeg, at(0, 0, 0))}); // no measuring channel: no fan, no sphere
    m_map.m_bSensors = 1;
    EXPECT_EQ(m_map.drawSensorMapTriFan(), 1);
    EXPECT_EQ(m_map.drawSensors(), 1);
    EXPECT_EQ(recorder.named("glBegin").size(), 0u);
    EXPECT_EQ(recorder.named("gluSphere").size(), 0u);
}

} // namespace
