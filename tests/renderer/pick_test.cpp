#include "glcontextfixture.h"
#include "rendertestsupport.h"

// Hits through a real selection pass, for what the stream references cannot show: the pass's calls
// (names, hidden spheres, channels without samples, recentring) are theirs at the default sensor
// size, and which hit wins is the views' business (and their tests').

namespace {

using RendererPick = GLContextTest;

TEST_F(RendererPick, SensorSizeSizesTheSpheresEvenHiddenAndNoTrialDrawsNothing) {
    auto pData = makeTestRecording({at(-40, 0, 0, 1.0)});
    CShow3DCntMapqv map;
    map.setMegData(pData.get());
    map.m_bAutofitPlace = 0;
    map.m_bSensors = 0;
    std::vector<unsigned> records;
    const auto hits = [&](SClientPoint p) {
        return m_context.pick(
            57600, p.x, p.y, 4.0, 4.0, [&]() { map.pickSensor(); }, records);
    };
    EXPECT_EQ(hits(project(-40, 0, 0)), 1);
    const SClientPoint edge = project(-26, 0, 0);
    EXPECT_EQ(hits(edge), 0);
    map.setSensorSize(18.0);
    EXPECT_EQ(hits(edge), 1);

    CShow3DCntMapqv none;
    EXPECT_EQ(none.pickSensor(), 1);
    EXPECT_EQ(m_context.pick(
                  100, 100, 100, 4, 4, [&]() { none.pickSensor(); }, records),
              0);
}

} // namespace
