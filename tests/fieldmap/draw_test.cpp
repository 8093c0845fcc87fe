// Pictures and picking in a real Mesa context: colours where sensors are seen, the renderer's
// frame and fiducials, the GL state left as found, clicks on sensors and beside the head.

#include "fieldmaptestsupport.h"
#include "glcontextfixture.h"

#include "fiducial.h"
#include "glimagetarget.h"

#include <EGL/egl.h>

#include <algorithm>
#include <cmath>

namespace {

struct SRGB {
    int r, g, b;
};

class SmoothDraw : public GLContextTest {
protected:
    std::unique_ptr<CMEGDataqv> m_pData;
    CShow3DCntMapqv m_map;
    CSmoothFieldMap m_smooth;
    std::vector<P3> m_aSensors;

    // A cap of sensors seen from above (+z towards the camera), warm at +x, cool at -x.
    void SetUp() override {
        m_nWidth = m_nHeight = 300;
        GLContextTest::SetUp();
        m_aSensors = spiralCap(60, 100.0, 70.0);
        std::vector<double> aValues;
        for (const P3& s : m_aSensors) {
            aValues.push_back(s[0]);
        }
        m_pData = recordingAt(m_aSensors, aValues);
        m_map.setMegData(m_pData.get());
        m_map._checkSensorPosVlm();
    }
    // Where a point of the recording shows on the view, with the renderer's centre shift.
    SClientPoint onView(const P3& p, int nKind = CSmoothFieldMap::kindTime) {
        const double dShift = m_map.m_bAutofitPlace ? 1.0 : 0.0;
        return project(p[0] - dShift * m_map.m_dCenterX, p[1] - dShift * m_map.m_dCenterY,
                       p[2] - dShift * m_map.m_dCenterZ, [&]() { m_smooth.draw(m_map, nKind); });
    }
    SRGB pixel(SClientPoint p) {
        unsigned char rgba[4] = {0, 0, 0, 0};
        m_context.target()->getPixel(static_cast<int>(p.x), static_cast<int>(p.y), rgba);
        return {rgba[0], rgba[1], rgba[2]};
    }
    // The sensor farthest towards +x (nSign 1) or -x among those well inside the view.
    std::size_t extreme(int nSign) {
        std::size_t n = 0;
        for (std::size_t i = 1; i < m_aSensors.size(); ++i) {
            if (m_aSensors[i][2] > 60.0 && nSign * m_aSensors[i][0] > nSign * m_aSensors[n][0]) {
                n = i;
            }
        }
        return n;
    }
};

TEST_F(SmoothDraw, WarmWherePositiveCoolWhereNegativeInBothColourModes) {
    m_map.m_bSensors = 0; // the dots would cover the sensors' own pixels
    m_smooth.setIsolineCount(0);
    for (int nMode : {CSmoothFieldMap::colorThresholds, CSmoothFieldMap::colorContinuous}) {
        SCOPED_TRACE(nMode);
        ASSERT_EQ(m_smooth.setColorMode(nMode), 1);
        for (int bAutofitPlace : {1, 0}) {
            m_map.m_bAutofitPlace = bAutofitPlace;
            const SRGB warm = pixel(onView(m_aSensors[extreme(1)]));
            const SRGB cool = pixel(onView(m_aSensors[extreme(-1)]));
            EXPECT_GT(warm.r, warm.b + 60) << warm.r << "," << warm.g << "," << warm.b;
            EXPECT_GT(cool.b, cool.r + 60) << cool.r << "," << cool.g << "," << cool.b;
        }
    }
    // Zero is white on the continuous scale, the neutral grey on the thresholds'.
    const P3 top = {0.0, 0.0, 100.0};
    const SRGB white = pixel(onView(top));
    EXPECT_GT(std::min({white.r, white.g, white.b}), 190);
    m_smooth.setColorMode(CSmoothFieldMap::colorThresholds);
    const SRGB grey = pixel(onView(top));
    EXPECT_LT(std::max({grey.r, grey.g, grey.b}) - std::min({grey.r, grey.g, grey.b}), 12);
    EXPECT_LT(grey.r, 150);
}

TEST_F(SmoothDraw, IsolinesAtEvenLevelsAndDarkZeroLineAndDots) {
    m_smooth.setColorMode(CSmoothFieldMap::colorContinuous);
    m_map.m_bSensors = 0;
    const P3 top = {0.0, 0.0, 100.0};
    const SClientPoint p = onView(top); // on the zero line: the values are x
    double dMin = 0.0, dMax = 0.0;
    ASSERT_EQ(m_smooth.getContinuousRange(dMin, dMax), 1);
    // Levels at whole multiples of one round step, zero among them, about ten in all.
    const std::vector<double> aLevels = m_smooth.getIsolineLevels();
    ASSERT_GE(aLevels.size(), 9u);
    ASSERT_LE(aLevels.size(), 12u);
    const double dStep = aLevels[1] - aLevels[0];
    // Every count asked for gets a round step, whatever the field's limit makes of it: the
    // counts' raw steps span more than a decade, so every mantissa's range is met.
    for (int nCount = 3; nCount <= 45; ++nCount) {
        m_smooth.setIsolineCount(nCount);
        ASSERT_EQ(m_smooth.update(m_map, CSmoothFieldMap::kindTime), 1);
        const std::vector<double> a = m_smooth.getIsolineLevels();
        ASSERT_GE(a.size(), 2u) << nCount;
        // Near the count asked: the nearest of the round steps, not the next wider one.
        EXPECT_LE(std::abs(static_cast<double>(a.size()) - nCount), 0.3 * nCount + 2) << nCount;
        const double d = a[1] - a[0];
        const double dMantissa = d / std::pow(10.0, std::floor(std::log10(d)));
        EXPECT_TRUE(std::abs(dMantissa - 1) < 1e-9 || std::abs(dMantissa - 2) < 1e-9 ||
                    std::abs(dMantissa - 2.5) < 1e-9 || std::abs(dMantissa - 5) < 1e-9)
            << nCount << " isolines: step " << d;
    }
    m_smooth.setIsolineCount(10);
    for (std::size_t i = 0; i < aLevels.size(); ++i) {
        EXPECT_NEAR(aLevels[i] / dStep, std::round(aLevels[i] / dStep), 1e-9);
        EXPECT_LT(std::abs(aLevels[i]), dMax);
    }
    EXPECT_EQ(std::count(aLevels.begin(), aLevels.end(), 0.0), 1);
    EXPECT_GT(aLevels.back() + dStep, dMax) << "no room for another level";
    // The zero line crosses the row within a few pixels of the top.
    int nDarkest = 765;
    for (int dx = -4; dx <= 4; ++dx) {
        const SRGB c = pixel({p.x + dx, p.y});
        nDarkest = std::min(nDarkest, c.r + c.g + c.b);
    }
    EXPECT_LT(nDarkest, 150);
    // Between two levels the surface shows through.
    const SRGB between = pixel(onView({dStep / 2.0, 0.0, 99.0}));
    EXPECT_GT(between.r, 180);
    m_smooth.setIsolineCount(0);
    const SRGB none = pixel(onView(top));
    EXPECT_GT(none.r + none.g + none.b, 570);
    // With the renderer's sensors on, each sensor is a dark dot.
    m_map.m_bSensors = 1;
    const SRGB dot = pixel(onView(m_aSensors[extreme(1)]));
    EXPECT_LT(dot.r + dot.g + dot.b, 60);
}

TEST_F(SmoothDraw, LeavesTheGlStateAsItFoundIt) {
    m_map.m_bShowFiducialPts = true;
    m_pData->createFidWorkMeg()->m_FiduciaryPt[1].setPoint(0.0, 60.0, 60.0);
    int bMark = 1;
    m_map.m_pMarkSelection = &bMark;
    m_context.renderFrame([&]() {
        glEnable(GL_LIGHTING);
        glLineWidth(3.0f);
        glEnableClientState(GL_NORMAL_ARRAY);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        auto state = [] {
            std::vector<GLint> a;
            for (GLenum n : {GL_LIGHTING, GL_BLEND, GL_POLYGON_OFFSET_FILL, GL_NORMAL_ARRAY,
                             GL_VERTEX_ARRAY, GL_COLOR_ARRAY})
                a.push_back(glIsEnabled(n));
            for (GLenum n : {GL_MODELVIEW_STACK_DEPTH, GL_MATRIX_MODE, GL_DEPTH_FUNC,
                             GL_UNPACK_ALIGNMENT, GL_LINE_WIDTH}) {
                GLint v = 0;
                glGetIntegerv(n, &v);
                a.push_back(v);
            }
            return a;
        };
        const std::vector<GLint> before = state();
        for (int nKind : {0, 1, 2}) {
            EXPECT_EQ(m_smooth.draw(m_map, nKind), 1);
            EXPECT_EQ(state(), before) << nKind;
        }
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    });
}

TEST_F(SmoothDraw, ItsColourTextureLivesUntilTheColoursChangeInEachContext) {
    m_map.m_bSensors = 0;
    m_smooth.setIsolineCount(0);
    const SClientPoint p = onView(m_aSensors[extreme(1)]);
    const auto warm = [](SRGB c) { return c.r > c.b + 60; };
    ASSERT_TRUE(warm(pixel(p)));
    // Blackened behind its back, the kept texture shows black until the colours change.
    m_context.renderFrame([] {
        std::vector<GLuint> aLive;
        for (GLuint n = 1; n < 64; ++n) {
            if (glIsTexture(n)) {
                aLive.push_back(n);
            }
        }
        ASSERT_EQ(aLive.size(), 1u);
        glBindTexture(GL_TEXTURE_1D, aLive[0]);
        GLint nWidth = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_1D, 0, GL_TEXTURE_WIDTH, &nWidth);
        const std::vector<unsigned char> aBlack(4 * static_cast<std::size_t>(nWidth), 0);
        glTexSubImage1D(GL_TEXTURE_1D, 0, 0, nWidth, GL_RGBA, GL_UNSIGNED_BYTE, aBlack.data());
        glBindTexture(GL_TEXTURE_1D, 0);
    });
    EXPECT_LT(pixel(onView(m_aSensors[extreme(1)])).r, 20) << "an update with the same colours";
    // New thresholds: a repaint without an update keeps the last colours, an update takes them.
    m_map.m_bAutofitColor = 0;
    m_map.m_dColorMax *= 0.5;
    m_context.renderFrame([&] { EXPECT_EQ(m_smooth.drawUpdated(m_map), 1); });
    EXPECT_LT(pixel(p).r, 20);
    EXPECT_TRUE(warm(pixel(onView(m_aSensors[extreme(1)]))));

    // A context of its own gets a texture of its own, and so does the first one again.
    CGLOfflineContextqv other;
    std::string error;
    ASSERT_TRUE(other.open(m_nWidth, m_nHeight, error)) << error;
    other.renderFrame([&] {
        // The host's own texture there may have the name the first context's has.
        GLuint nHosts = 0;
        glGenTextures(1, &nHosts);
        glBindTexture(GL_TEXTURE_1D, nHosts);
        const unsigned char aBlack[4] = {0, 0, 0, 255};
        glTexImage1D(GL_TEXTURE_1D, 0, GL_RGBA8, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, aBlack);
        glBindTexture(GL_TEXTURE_1D, 0);
        m_smooth.drawUpdated(m_map);
    });
    unsigned char rgba[4] = {0, 0, 0, 0};
    other.target()->getPixel(static_cast<int>(p.x), static_cast<int>(p.y), rgba);
    EXPECT_TRUE(warm({rgba[0], rgba[1], rgba[2]}));
    EXPECT_TRUE(warm(pixel(onView(m_aSensors[extreme(1)]))));
}

TEST_F(SmoothDraw, FiducialsAsTheTimeDomainMapDrawsThem) {
    // Unshifted by the centre, like the renderer's; only with the time-domain kind.
    m_pData->createFidWorkMeg()->m_FiduciaryPt[1].setPoint(0.0, 130.0, 0.0); // green
    m_map.m_bShowFiducialPts = true;
    const P3 fiducial = {0.0 + m_map.m_dCenterX, 130.0 + m_map.m_dCenterY, 0.0 + m_map.m_dCenterZ};
    const SRGB shown = pixel(onView(fiducial));
    EXPECT_GT(shown.g, shown.r + 60);
    const SRGB absent = pixel(onView(fiducial, CSmoothFieldMap::kindFrequency));
    EXPECT_LT(absent.r + absent.g + absent.b, 30);
}

TEST_F(SmoothDraw, AClickOnASensorPicksItsSlotAndAMissPicksNone) {
    for (int bAutofitPlace : {1, 0}) {
        m_map.m_bAutofitPlace = bAutofitPlace;
        for (std::size_t i : {std::size_t(0), extreme(1), extreme(-1), std::size_t(33)}) {
            const SClientPoint p = onView(m_aSensors[i]);
            EXPECT_EQ(m_smooth.pickSensorInLastFrame(p.x, p.y), static_cast<int>(i));
            int nCurrent = -2;
            m_context.renderFrame([&]() { nCurrent = m_smooth.pickSensor(p.x, p.y); });
            EXPECT_EQ(nCurrent, static_cast<int>(i));
        }
    }
    EXPECT_EQ(m_smooth.pickSensorInLastFrame(5.0, 5.0), -1);
}

TEST(SmoothDrawWithoutContext, DrawsNothingAndPicksNothing) {
    if (eglGetCurrentContext() != EGL_NO_CONTEXT) {
        eglMakeCurrent(eglGetCurrentDisplay(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    auto pData = recordingAt(spiralCap(20, 100.0, 60.0), std::vector<double>(20, 1.0));
    CShow3DCntMapqv map;
    map.setMegData(pData.get());
    CSmoothFieldMap smooth;
    EXPECT_EQ(smooth.draw(map, CSmoothFieldMap::kindTime), 0);
    EXPECT_EQ(smooth.pickSensor(10.0, 10.0), -1);
    EXPECT_EQ(smooth.pickSensorInLastFrame(10.0, 10.0), -1);
}

} // namespace
