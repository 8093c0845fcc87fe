#include "glofflinecontext.h"
#include "scene_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr int kSize = 200;
// Pixels per scene unit at distance 500 for a 200-pixel view with a 30-degree field.
const double kScale = kSize / (2.0 * 500.0 * std::tan(15.0 * M_PI / 180.0));
constexpr double kCentre = (kSize - 1) / 2.0;

class ViewportFrame : public ::testing::Test {
protected:
    CGLOfflineContextqv m_offline;
    CGL4dqv* m_pViewport = nullptr;

    void SetUp() override {
        std::string strError;
        ASSERT_EQ(m_offline.open(kSize, kSize, strError), 1) << strError;
        m_pViewport = m_offline.viewport();
    }

    scene::SBlob render(const std::function<void()>& draw) {
        EXPECT_EQ(m_offline.renderFrame(draw), 1) << m_offline.getLastError();
        return scene::litBlob(*m_offline.target());
    }
};

} // namespace

TEST_F(ViewportFrame, TranslationAndRotationMoveTheScene) {
    struct SCase {
        const char* pszName;
        double translate[3];
        double rotate[3];
        int bRotateZ;
        double dX, dY; // expected offset from the centre, scene units at distance 500, y up
    } cases[] = {
        {"default", {0, 0, -500}, {0, 0, 0}, 1, 60, 0},
        {"shift up", {0, 40, -500}, {0, 0, 0}, 1, 60, 40},
        {"turn about y", {0, 0, -500}, {0, 90, 0}, 1, 0, 0},
        {"turn about z", {0, 0, -500}, {0, 0, 90}, 1, 0, 60},
        // z applies first, then x: (60,0,0) -> (0,60,0) -> (0,0,60), in the centre.
        {"z then x", {0, 0, -500}, {90, 0, 90}, 1, 0, 0},
        {"z switched off", {0, 0, -500}, {90, 0, 90}, 0, 60, 0},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.pszName);
        m_pViewport->setTranslate(c.translate[0], c.translate[1], c.translate[2]);
        m_pViewport->setRotateValue(c.rotate[0], c.rotate[1], c.rotate[2]);
        m_pViewport->setRotateBoolean(1, 1, c.bRotateZ);
        const scene::SBlob blob = render([] { scene::sphere(60, 0, 0, 8, false); });
        ASSERT_GT(blob.nPixels, 0);
        EXPECT_NEAR(blob.dX, kCentre + c.dX * kScale, 1.5);
        EXPECT_NEAR(blob.dY, kCentre - c.dY * kScale, 1.5);
    }
}

TEST_F(ViewportFrame, DistanceScalesTheSceneAndStaysInRange) {
    EXPECT_EQ(render({}).nPixels, 0);
    double x, y, z;
    m_pViewport->getTranslate(x, y, z);
    EXPECT_EQ(z, -750.0);
    m_pViewport->setTranslate(0, 0, -500);
    const int nFar = render([] { scene::flatSquare(20); }).nPixels;
    ASSERT_EQ(m_pViewport->addViewDistanceZ(-250.0f), 1);
    const int nNear = render([] { scene::flatSquare(20); }).nPixels;
    EXPECT_NEAR(static_cast<double>(nNear) / nFar, 4.0, 0.3);

    const struct {
        float dz;
        double dExpectZ;
    } steps[] = {
        {-1e6f, -1.0}, {1e7f, -9000.0}, {std::numeric_limits<float>::quiet_NaN(), -9000.0}};
    for (const auto& step : steps) {
        m_pViewport->addViewDistanceZ(step.dz);
        m_pViewport->getTranslate(x, y, z);
        EXPECT_EQ(z, step.dExpectZ) << step.dz;
    }
    m_pViewport->setTranslate(0, 0, 100);
    m_pViewport->getTranslate(x, y, z);
    EXPECT_EQ(z, -1.0);
}

TEST_F(ViewportFrame, LightStaysAboveTheViewerWhateverTheRotation) {
    m_pViewport->setRotateValue(180, 45, 0);
    m_pViewport->setTranslate(0, 0, -500);
    const GLfloat grey[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    render([&] {
        glMaterialfv(GL_FRONT, GL_DIFFUSE, grey);
        scene::sphere(0, 0, 0, 60);
    });
    unsigned char top[4], bottom[4];
    const int nOffset = static_cast<int>(40 * kScale);
    ASSERT_EQ(m_offline.target()->getPixel(kSize / 2, kSize / 2 - nOffset, top), 1);
    ASSERT_EQ(m_offline.target()->getPixel(kSize / 2, kSize / 2 + nOffset, bottom), 1);
    EXPECT_GT(top[0], bottom[0] + 20);
}
