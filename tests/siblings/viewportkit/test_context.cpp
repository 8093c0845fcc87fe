#include "glofflinecontext.h"
#include "scene_support.h"

#include <EGL/egl.h>
#include <gtest/gtest.h>

#include <functional>

namespace {

EGLContext currentContext() {
    eglBindAPI(EGL_OPENGL_API);
    return eglGetCurrentContext();
}

} // namespace

TEST(ViewportContext, FramebufferFollowsTheTargetSize) {
    CGL4dqv viewport;
    CGLImageTargetqv target(0, 0);
    // The pixel format does not depend on the device context; the context does.
    ASSERT_EQ(viewport.setWindowPixelFormat(nullptr), 1) << viewport.getLastError();
    EXPECT_EQ(viewport.createViewGLContext(nullptr), 0);
    EXPECT_STRNE(viewport.getLastError(), "");

    ASSERT_EQ(viewport.createViewGLContext(&target), 1) << viewport.getLastError();
    ASSERT_EQ(viewport.glSwapBuffers(&target), 1);
    EXPECT_EQ(target.getImageWidth(), 1);
    EXPECT_EQ(target.getImageHeight(), 1);

    target.setTargetSize(40, 30);
    ASSERT_EQ(viewport.setViewGLContextCurrent(&target), 1);
    ASSERT_EQ(viewport.glSwapBuffers(&target), 1);
    EXPECT_EQ(target.getImageWidth(), 40);
    EXPECT_EQ(target.getImageHeight(), 30);
}

TEST(ViewportContext, CallsOutOfOrderFailCleanly) {
    CGL4dqv viewport;
    CGLImageTargetqv target(16, 16);
    const std::function<int()> needContext[] = {
        [&] { return viewport.setViewGLContextCurrent(&target); },
        [&] { return viewport.reshape(16, 16); },
        [&] { return viewport.glqvInit(); },
        [&] { return viewport.beginGLqv(); },
        [&] { return viewport.endGLqv(); },
        [&] { return viewport.glSwapBuffers(&target); },
        [&] { return viewport.glqvPickBegin(16, 8, 8, 4, 4) != nullptr ? 1 : 0; },
        [&] { return viewport.glqvPickEnd(); },
        [&] { return viewport.killGLCurrentContext(); },
    };
    auto expectAllFail = [&](const char* pszWhen) {
        for (size_t i = 0; i < std::size(needContext); ++i) {
            EXPECT_EQ(needContext[i](), 0) << "call " << i << " " << pszWhen;
            EXPECT_STRNE(viewport.getLastError(), "") << "call " << i << " " << pszWhen;
        }
    };
    EXPECT_EQ(viewport.createViewGLContext(&target), 0);
    expectAllFail("before creation");

    ASSERT_EQ(viewport.setWindowPixelFormat(&target), 1);
    ASSERT_EQ(viewport.createViewGLContext(&target), 1);
    EXPECT_EQ(viewport.reshape(0, 5), 0);
    EXPECT_EQ(viewport.setViewGLContextCurrent(nullptr), 0);
    EXPECT_EQ(viewport.glSwapBuffers(nullptr), 0);

    ASSERT_EQ(viewport.killGLCurrentContext(), 1);
    EXPECT_EQ(currentContext(), EGL_NO_CONTEXT);
    expectAllFail("after kill");
    EXPECT_EQ(viewport.createViewGLContext(&target), 1);
    std::string strError;
    EXPECT_EQ(CGLOfflineContextqv().open(0, 10, strError), 0);
}

TEST(ViewportContext, TwoViewportsKeepTheirOwnContexts) {
    std::string strError;
    for (int nRound = 0; nRound < 2; ++nRound) { // the shared display comes back after the last
        CGLOfflineContextqv a, b;
        ASSERT_EQ(a.open(32, 32, strError), 1) << strError;
        ASSERT_EQ(b.open(32, 32, strError), 1) << strError;
        auto square = [] { scene::flatSquare(60); };
        ASSERT_EQ(a.renderFrame(square), 1);
        ASSERT_EQ(b.renderFrame({}), 1);
        EXPECT_EQ(a.viewport()->beginGLqv(), 0); // b is current: nothing drawn into it
        EXPECT_GT(scene::litBlob(*a.target()).nPixels, 0);
        EXPECT_EQ(scene::litBlob(*b.target()).nPixels, 0);

        // The window layer releases whatever is current by itself; the next use must recover.
        eglMakeCurrent(eglGetCurrentDisplay(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        EXPECT_EQ(a.viewport()->glqvInit(), 0);
        a.target()->clearFrame();
        ASSERT_EQ(a.renderFrame(square), 1) << a.getLastError();
        EXPECT_GT(scene::litBlob(*a.target()).nPixels, 0);

        // Killing a context that is not current leaves the current one alone.
        ASSERT_EQ(b.makeCurrent(), 1);
        const EGLContext bContext = currentContext();
        EXPECT_EQ(a.viewport()->killGLCurrentContext(), 1);
        EXPECT_EQ(currentContext(), bContext);
        EXPECT_EQ(b.renderFrame({}), 1);
    }
    EXPECT_EQ(currentContext(), EGL_NO_CONTEXT);
}
