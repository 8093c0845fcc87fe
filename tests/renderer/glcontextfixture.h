#pragma once

// A real Mesa context (EGL, offscreen) current for the whole test.

#include "glofflinecontext.h"

#include <gtest/gtest.h>

#include <string>

class GLContextTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_context.open(m_nWidth, m_nHeight, error)) << error;
    }

    int m_nWidth = 200;
    int m_nHeight = 200;
    CGLOfflineContextqv m_context;
};
