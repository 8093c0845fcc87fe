#include "glcontextfixture.h"
#include "rendertestsupport.h"

#include "glimagetarget.h"

namespace {

struct SRGB {
    int r, g, b;
};

class RendererPixels : public GLContextTest {
protected:
    CShow3DCntMapqv m_map;
    std::unique_ptr<CMEGDataqv> m_pData;

    SRGB pixelAt(double x, double y, double z) {
        const SClientPoint p = project(x, y, z, [&]() { m_map.show3DCntMap(); });
        unsigned char rgba[4] = {0, 0, 0, 0};
        m_context.target()->getPixel(static_cast<int>(p.x), static_cast<int>(p.y), rgba);
        return {rgba[0], rgba[1], rgba[2]};
    }
};

TEST_F(RendererPixels, PositiveSensorsWarmNegativeCoolBackgroundClear) {
    m_pData = makeTestRecording({at(-50, 0, 0, -10.0), at(50, 0, 0, 10.0)});
    m_map.setMegData(m_pData.get());
    m_map._checkSensorPosVlm();
    m_map.m_bContourMap = 0;
    const SRGB warm = pixelAt(50, 0, 0);
    const SRGB cool = pixelAt(-50, 0, 0);
    const SRGB background = pixelAt(0, 60, 0);
    EXPECT_GT(warm.r, warm.b + 40) << warm.r << "," << warm.g << "," << warm.b;
    EXPECT_GT(cool.b, cool.r + 40) << cool.r << "," << cool.g << "," << cool.b;
    EXPECT_LT(background.r + background.g + background.b, 60);
}

TEST_F(RendererPixels, SurfaceFillsBetweenNeighbours) {
    m_pData = makeTestRecording({at(-25, 0, 0, 10.0), at(25, 0, 0, 10.0), at(0, 40, 0, 10.0)});
    m_map.setMegData(m_pData.get());
    m_map._checkSensorPosVlm();
    m_map.m_bSensors = 0;
    m_map.m_bAutofitPlace = 0;
    const SRGB inside = pixelAt(0, 12, 0);
    EXPECT_GT(inside.r, 60);
    m_map.m_bContourMap = 0;
    const SRGB empty = pixelAt(0, 12, 0);
    EXPECT_LT(empty.r + empty.g + empty.b, 60);
}

} // namespace
