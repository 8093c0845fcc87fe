#pragma once

// A real Mesa context (EGL, offscreen) current for the whole test.

#include "glofflinecontext.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

struct SClientPoint {
    double x, y; // client pixels, origin top-left, y down
};

class GLContextTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_context.open(m_nWidth, m_nHeight, error)) << error;
    }

    // Renders one frame with drawScene and tells where a scene point lands on the view, with
    // the transform that frame used.
    SClientPoint project(double x, double y, double z,
                         const std::function<void()>& drawScene = {}) {
        GLdouble adModel[16], adProj[16], wx = 0, wy = 0, wz = 0;
        GLint anViewport[4];
        m_context.renderFrame([&]() {
            glGetDoublev(GL_MODELVIEW_MATRIX, adModel);
            glGetDoublev(GL_PROJECTION_MATRIX, adProj);
            glGetIntegerv(GL_VIEWPORT, anViewport);
            if (drawScene) {
                drawScene();
            }
        });
        gluProject(x, y, z, adModel, adProj, anViewport, &wx, &wy, &wz);
        return {wx, anViewport[3] - wy};
    }

    int m_nWidth = 200;
    int m_nHeight = 200;
    CGLOfflineContextqv m_context;
};
