#include "glofflinecontext.h"
#include "scene_support.h"

#include <gtest/gtest.h>

namespace {

class ViewportPick : public ::testing::Test {
protected:
    CGLOfflineContextqv m_offline;
    CGL4dqv* m_pViewport = nullptr;
    std::vector<unsigned> m_hits;

    void SetUp() override {
        std::string strError;
        ASSERT_EQ(m_offline.open(200, 200, strError), 1) << strError;
        m_pViewport = m_offline.viewport();
    }

    int pickAt(double x, double y, const std::function<void()>& draw, int nSize = 64) {
        return m_offline.pick(nSize, x, y, 4, 4, draw, m_hits);
    }
};

void namedSphere(GLuint nName, double y, double z) {
    glPushName(nName);
    scene::sphere(0, y, z, 15);
    glPopName();
}

void twoSpheresInLine() {
    namedSphere(1, 0, -100);
    namedSphere(2, 0, 100);
}

} // namespace

TEST_F(ViewportPick, HitsTheSphereUnderThePointerOnly) {
    m_pViewport->setTranslate(0, 0, -500);
    auto draw = [] { namedSphere(7, 60, 0); };
    // Above the centre: client y is small, since it grows downwards.
    ASSERT_EQ(pickAt(100, 55, draw), 1);
    ASSERT_EQ(m_hits.size(), 4u);
    EXPECT_EQ(m_hits[0], 1u);
    EXPECT_LE(m_hits[1], m_hits[2]);
    EXPECT_EQ(m_hits[3], 7u);
    EXPECT_EQ(pickAt(100, 145, draw), 0);
    EXPECT_EQ(pickAt(5, 5, draw), 0);

    // The pass sees the paint's camera.
    m_pViewport->setTranslate(60, -60, -500);
    EXPECT_EQ(pickAt(145, 100, draw), 1);
    EXPECT_EQ(pickAt(100, 55, draw), 0);
}

TEST_F(ViewportPick, NearerHitHasTheSmallerMinimumDepth) {
    ASSERT_EQ(pickAt(100, 100, twoSpheresInLine), 2);
    ASSERT_EQ(m_hits.size(), 8u);
    EXPECT_EQ(m_hits[3], 1u);
    EXPECT_EQ(m_hits[7], 2u);
    EXPECT_LT(m_hits[5], m_hits[1]);

    m_pViewport->setRotateValue(0, 180, 0); // the first sphere comes to the front
    ASSERT_EQ(pickAt(100, 100, twoSpheresInLine), 2);
    EXPECT_LT(m_hits[1], m_hits[5]);
}

TEST_F(ViewportPick, OverflowAndMisuseAreHarmless) {
    GLdouble before[16], after[16];
    glGetDoublev(GL_PROJECTION_MATRIX, before);
    EXPECT_LE(pickAt(100, 100, twoSpheresInLine, 0), 0);
    EXPECT_LT(pickAt(100, 100, twoSpheresInLine, 5), 0);
    EXPECT_TRUE(m_hits.empty());
    EXPECT_EQ(m_pViewport->glqvPickBegin(-1, 100, 100, 4, 4), nullptr);
    EXPECT_STRNE(m_pViewport->getLastError(), "");
    EXPECT_EQ(m_pViewport->glqvPickBegin(16, 100, 100, 0, 4), nullptr);
    EXPECT_EQ(m_pViewport->glqvPickEnd(), 0);

    ASSERT_NE(m_pViewport->glqvPickBegin(16, 100, 100, 4, 4), nullptr);
    EXPECT_EQ(m_pViewport->glqvPickBegin(16, 100, 100, 4, 4), nullptr);
    EXPECT_EQ(m_pViewport->beginGLqv(), 0);
    EXPECT_EQ(m_pViewport->reshape(200, 200), 0);
    EXPECT_EQ(m_pViewport->glSwapBuffers(m_offline.target()), 0);
    EXPECT_EQ(m_pViewport->glqvPickEnd(), 0);

    glGetDoublev(GL_PROJECTION_MATRIX, after);
    EXPECT_TRUE(std::equal(before, before + 16, after));
    EXPECT_EQ(pickAt(100, 100, twoSpheresInLine), 2);
}
