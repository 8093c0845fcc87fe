#include "glmaterial.h"
#include "glofflinecontext.h"

#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

namespace {

constexpr int kSize = 200;
// Pixels per scene unit at distance 500 for a 200-pixel view with a 30-degree field.
const double kScale = kSize / (2.0 * 500.0 * std::tan(15.0 * M_PI / 180.0));
constexpr double kCentre = (kSize - 1) / 2.0;

EGLContext currentContext() {
    eglBindAPI(EGL_OPENGL_API);
    return eglGetCurrentContext();
}

struct SBlob {
    double dX = 0.0, dY = 0.0; // sums of pixel coordinates, origin top-left
    int nPixels = 0;
};

// The pixels of the last frame that are not background.
SBlob litBlob(const CGLImageTargetqv& target) {
    SBlob blob;
    const std::vector<unsigned char>& image = target.getImage();
    for (size_t i = 0; i < image.size(); i += 4)
        if (std::max({image[i], image[i + 1], image[i + 2]}) > 32) {
            blob.dX += static_cast<double>((i / 4) % target.getImageWidth());
            blob.dY += static_cast<double>((i / 4) / target.getImageWidth());
            ++blob.nPixels;
        }
    return blob;
}

// Unlit white; every frame starts from the viewport's own GL state again.
void sphere(double x, double y, double z, double dRadius) {
    GLUquadric* pQuadric = gluNewQuadric();
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 1.0f);
    glPushMatrix();
    glTranslated(x, y, z);
    gluSphere(pQuadric, dRadius, 15, 10);
    glPopMatrix();
    gluDeleteQuadric(pQuadric);
}

void namedSphere(GLuint nName, double y, double z) {
    glPushName(nName);
    sphere(0, y, z, 15);
    glPopName();
}

void twoSpheresInLine() {
    namedSphere(1, 0, -100);
    namedSphere(2, 0, 100);
}

TEST(ViewportContext, CreationFailureAndCallsOutOfOrder) {
    CGL4dqv viewport;
    CGLImageTargetqv target(0, 0);
    const std::function<int()> needContext[] = {
        [&] { return viewport.setViewGLContextCurrent(&target); },
        [&] { return viewport.reshape(16, 16); },
        [&] { return viewport.beginGLqv(); },
        [&] { return viewport.glSwapBuffers(&target); },
        [&] { return viewport.glqvPickBegin(16, 8, 8, 4, 4) != nullptr ? 1 : 0; },
        [&] { return viewport.killGLCurrentContext(); },
    };
    auto expectAllFail = [&](const char* pszWhen) {
        for (size_t i = 0; i < std::size(needContext); ++i) {
            EXPECT_EQ(needContext[i](), 0) << "call " << i << " " << pszWhen;
            EXPECT_STRNE(viewport.getLastError(), "") << "call " << i << " " << pszWhen;
        }
    };
    EXPECT_EQ(viewport.createViewGLContext(&target), 0) << "no pixel format yet";
    expectAllFail("before creation");

    // The pixel format does not depend on the device context; the context does.
    ASSERT_EQ(viewport.setWindowPixelFormat(nullptr), 1) << viewport.getLastError();
    EXPECT_EQ(viewport.createViewGLContext(nullptr), 0);
    // A zero-size target still gets a 1x1 frame; the framebuffer follows a later resize.
    ASSERT_EQ(viewport.createViewGLContext(&target), 1) << viewport.getLastError();
    ASSERT_EQ(viewport.glSwapBuffers(&target), 1);
    EXPECT_EQ(target.getImage().size(), 4u) << "1x1 RGBA";
    target.setTargetSize(40, 30);
    ASSERT_EQ(viewport.setViewGLContextCurrent(&target), 1);
    ASSERT_EQ(viewport.glSwapBuffers(&target), 1);
    EXPECT_EQ(std::make_pair(target.getImageWidth(), target.getImageHeight()),
              std::make_pair(40, 30));
    EXPECT_EQ(viewport.reshape(0, 5), 0);

    ASSERT_EQ(viewport.killGLCurrentContext(), 1);
    EXPECT_EQ(currentContext(), EGL_NO_CONTEXT);
    expectAllFail("after kill");
    EXPECT_EQ(viewport.createViewGLContext(&target), 1);
    std::string strError;
    EXPECT_EQ(CGLOfflineContextqv().open(0, 10, strError), 0);
}

// A material needs a current context; the values it gives both faces are in the renderer's GL
// stream references.
TEST(ViewportContext, TwoViewportsKeepTheirOwnContextsAndMaterialsNeedOne) {
    std::string strError;
    CGLmaterialqv1Face material;
    for (int nRound = 0; nRound < 2; ++nRound) { // the shared display comes back after the last
        CGLOfflineContextqv a, b;
        ASSERT_EQ(a.open(32, 32, strError), 1) << strError;
        ASSERT_EQ(b.open(32, 32, strError), 1) << strError;
        ASSERT_EQ(a.renderFrame([] { sphere(0, 0, 0, 60); }), 1);
        ASSERT_EQ(b.renderFrame({}), 1);
        EXPECT_EQ(a.viewport()->beginGLqv(), 0); // b is current: nothing drawn into it
        EXPECT_GT(litBlob(*a.target()).nPixels, 0);
        EXPECT_EQ(litBlob(*b.target()).nPixels, 0);

        // Killing a context that is not current leaves the current one alone.
        ASSERT_EQ(b.makeCurrent(), 1);
        EXPECT_EQ(material.initMaterial(), 1);
        EXPECT_EQ(material.setCurrentColorAmbt(0x0080FE), 1);
        const EGLContext bContext = currentContext();
        EXPECT_EQ(a.viewport()->killGLCurrentContext(), 1);
        EXPECT_EQ(currentContext(), bContext);
        EXPECT_EQ(b.renderFrame({}), 1);
    }
    EXPECT_EQ(currentContext(), EGL_NO_CONTEXT);
    EXPECT_EQ(material.initMaterial(), 0);
    EXPECT_EQ(material.setCurrentColorAmbt(0x0000FE), 0);
}

// What a written PNG holds is compared with the views' frames by the render program's tests.
TEST(ImageTarget, KeepsOnlyValidFramesAndNamesThePathItCannotWrite) {
    CGLImageTargetqv target(3, 2);
    std::string strError;
    EXPECT_EQ(target.writePng(::testing::TempDir() + "viewportkit-none.png", strError), 0)
        << "no frame yet";
    std::vector<unsigned char> frame(3 * 2 * 4);
    std::iota(frame.begin(), frame.end(), 0);
    EXPECT_EQ(target.presentFrame(nullptr, 3, 2), 0);
    EXPECT_EQ(target.presentFrame(frame.data(), 0, 2), 0);
    EXPECT_EQ(target.hasFrame(), 0);
    ASSERT_EQ(target.presentFrame(frame.data(), 3, 2), 1);
    EXPECT_EQ(target.getImage(), frame);
    EXPECT_EQ(target.writePng("/nonexistent-dir/frame.png", strError), 0);
    EXPECT_NE(strError.find("/nonexistent-dir/frame.png"), std::string::npos);
}

class ViewportScene : public ::testing::Test {
protected:
    CGLOfflineContextqv m_offline;
    std::vector<unsigned> m_hits;

    void SetUp() override {
        std::string strError;
        ASSERT_EQ(m_offline.open(kSize, kSize, strError), 1) << strError;
    }
    CGL4dqv* view() { return m_offline.viewport(); }
    SBlob render(const std::function<void()>& draw) {
        EXPECT_EQ(m_offline.renderFrame(draw), 1) << m_offline.getLastError();
        return litBlob(*m_offline.target());
    }
    int pickAt(double x, double y, const std::function<void()>& draw, int nSize = 64) {
        return m_offline.pick(nSize, x, y, 4, 4, draw, m_hits);
    }
};

TEST_F(ViewportScene, TranslationRotationAndDistanceMoveTheScene) {
    // Shift up, rotation about x, y, z, z rotation on, distance step; where the sphere at
    // (60, 0, 0) shows, from the centre in scene units at distance 500, y up. z turns before x:
    // (60,0,0) goes to (0,60,0) and then to (0,0,60), in the centre.
    const double cases[][8] = {{0, 0, 0, 0, 1, 0, 60, 0},  {40, 0, 0, 0, 1, 0, 60, 40},
                               {0, 0, 90, 0, 1, 0, 0, 0},  {0, 0, 0, 90, 1, 0, 0, 60},
                               {0, 90, 0, 90, 1, 0, 0, 0}, {0, 90, 0, 90, 0, 0, 60, 0},
                               {0, 0, 0, 0, 1, 250, 40, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        view()->setTranslate(0, c[0], -500);
        view()->setRotateValue(c[1], c[2], c[3]);
        view()->setRotateBoolean(1, 1, static_cast<int>(c[4]));
        ASSERT_EQ(view()->addViewDistanceZ(static_cast<float>(c[5])), 1);
        const SBlob blob = render([] { sphere(60, 0, 0, 8); });
        ASSERT_GT(blob.nPixels, 0);
        EXPECT_NEAR(blob.dX / blob.nPixels, kCentre + c[6] * kScale, 1.5);
        EXPECT_NEAR(blob.dY / blob.nPixels, kCentre - c[7] * kScale, 1.5);
    }
    // The distance stays in range.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const auto& step : {std::make_pair(-1e6f, -1.0), {1e7f, -9000.0}, {nan, -9000.0}}) {
        view()->addViewDistanceZ(step.first);
        double x, y, z;
        view()->getTranslate(x, y, z);
        EXPECT_EQ(z, step.second) << step.first;
    }
}

TEST_F(ViewportScene, PickHitsOnlyUnderThePointerWithTheCamerasViewAndMisuseIsHarmless) {
    view()->setTranslate(0, 0, -500);
    auto above = [] { namedSphere(7, 60, 0); };
    // Above the centre: client y is small, since it grows downwards.
    EXPECT_EQ(pickAt(100, 55, above), 1);
    EXPECT_EQ(pickAt(100, 145, above), 0);
    EXPECT_EQ(pickAt(5, 5, above), 0);
    view()->setTranslate(60, -60, -500); // the pass sees the paint's camera
    EXPECT_EQ(pickAt(145, 100, above), 1);
    EXPECT_EQ(pickAt(100, 55, above), 0);

    // Both spheres on the line of sight give a hit each, names in the fourth word of a record;
    // which is nearer, and the depths, are the views' test.
    view()->setTranslate(0, 0, -500);
    ASSERT_EQ(pickAt(100, 100, twoSpheresInLine), 2);
    EXPECT_EQ(std::make_pair(m_hits[3], m_hits[7]), std::make_pair(1u, 2u));

    // Overflow and misuse leave the projection as it was.
    GLdouble before[16], after[16];
    glGetDoublev(GL_PROJECTION_MATRIX, before);
    EXPECT_LT(pickAt(100, 100, twoSpheresInLine, 0), 0) << "zero-size buffer";
    EXPECT_LT(pickAt(100, 100, twoSpheresInLine, 5), 0) << "overflow";
    EXPECT_TRUE(m_hits.empty());
    EXPECT_EQ(view()->glqvPickBegin(-1, 100, 100, 4, 4), nullptr);
    EXPECT_STRNE(view()->getLastError(), "");
    EXPECT_EQ(view()->glqvPickBegin(16, 100, 100, 0, 4), nullptr);
    EXPECT_EQ(view()->glqvPickEnd(), 0);

    ASSERT_NE(view()->glqvPickBegin(16, 100, 100, 4, 4), nullptr);
    EXPECT_EQ(view()->glqvPickBegin(16, 100, 100, 4, 4), nullptr);
    EXPECT_EQ(view()->beginGLqv(), 0);
    EXPECT_EQ(view()->glqvPickEnd(), 0);
    glGetDoublev(GL_PROJECTION_MATRIX, after);
    EXPECT_TRUE(std::equal(before, before + 16, after));
    EXPECT_EQ(pickAt(100, 100, twoSpheresInLine), 2);
}

} // namespace
