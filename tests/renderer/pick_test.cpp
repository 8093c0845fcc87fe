#include "glcontextfixture.h"
#include "rendertestsupport.h"

// Hits through a real selection pass; the order by depth is the views' business (and their
// tests'), the pass's calls the stream references'.

namespace {

class RendererPick : public GLContextTest {
protected:
    CShow3DCntMapqv m_map;
    std::unique_ptr<CMEGDataqv> m_pData;

    void load(const std::vector<STestChannel>& channels) {
        m_pData = makeTestRecording(channels);
        m_map.setMegData(m_pData.get());
        m_map._checkSensorPosVlm();
    }
    // The slot names of every hit, nearest first is not implied: records in buffer order.
    std::vector<std::pair<unsigned, unsigned>> pickAt(SClientPoint p, int nSize = 57600) {
        std::vector<unsigned> records;
        const int nHits = m_context.pick(
            nSize, p.x, p.y, 4.0, 4.0, [&]() { m_map.pickSensor(); }, records);
        std::vector<std::pair<unsigned, unsigned>> hits; // (min depth, name)
        std::size_t k = 0;
        for (int h = 0; h < nHits && k < records.size(); ++h) {
            const unsigned nNames = records[k];
            hits.emplace_back(records[k + 1], nNames ? records[k + 3] : ~0u);
            k += 3 + nNames;
        }
        return hits;
    }
};

TEST_F(RendererPick, HitNamesTheSlotUnderThePointer) {
    load({emptySlot(), at(-40, 0, 0, 1.0), at(40, 0, 0, 2.0)});
    const auto hits = pickAt(project(40 - m_map.m_dCenterX, 0, 0));
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].second, 2u);
    EXPECT_TRUE(pickAt(project(0, 60, 0)).empty()); // background
}

TEST_F(RendererPick, SpheresArePickableWhenHiddenButNotWithoutSamples) {
    load({at(-40, 0, 0, 1.0), without(&STestChannel::bWave, at(40, 0, 0, 2.0))});
    m_map.m_bAutofitPlace = 0;
    m_map.m_bSensors = 0;
    EXPECT_EQ(pickAt(project(-40, 0, 0)).size(), 1u);
    EXPECT_TRUE(pickAt(project(40, 0, 0)).empty());
}

TEST_F(RendererPick, AutofitPlaceMovesPickableSpheresWithTheDrawnOnes) {
    load({at(100, 0, 0, 1.0), at(140, 0, 0, 2.0)}); // centre (120, 0, 0)
    EXPECT_EQ(pickAt(project(-20, 0, 0)).at(0).second, 0u);
    m_map.m_bAutofitPlace = 0;
    EXPECT_TRUE(pickAt(project(-20, 0, 0)).empty());
    EXPECT_EQ(pickAt(project(140, 0, 0)).at(0).second, 1u);
}

TEST_F(RendererPick, SensorSizeSizesTheSpheres) {
    load({at(0, 0, 0, 1.0)});
    const SClientPoint edge = project(14, 0, 0);
    EXPECT_TRUE(pickAt(edge).empty());
    m_map.setSensorSize(18.0);
    EXPECT_EQ(pickAt(edge).size(), 1u);
}

TEST_F(RendererPick, NoTrialDrawsNothing) {
    CShow3DCntMapqv map;
    EXPECT_EQ(map.pickSensor(), 1);
    std::vector<unsigned> records;
    EXPECT_EQ(m_context.pick(
                  100, 100, 100, 4, 4, [&]() { map.pickSensor(); }, records),
              0);
}

} // namespace
