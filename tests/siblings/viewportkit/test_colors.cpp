#include "index2color.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

static double luminance(const float* p) {
    auto linear = [](float c) {
        return c <= 0.04045f ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(p[0]) + 0.7152 * linear(p[1]) + 0.0722 * linear(p[2]);
}

// Warm side red over blue, cool side blue over red; each deepens from pale to dark, never black.
TEST(ColorTables, SidesDeepenFromPaleToDarkInOneArrayOfRgbaEach) {
    CIndex2ColorOpenGLqv colors;
    for (float* const* t : {colors.m_pColorTableMax, colors.m_pColorTableMin}) {
        const int nHue = t == colors.m_pColorTableMax ? 0 : 2;
        SCOPED_TRACE(nHue == 0 ? "upper" : "lower");
        for (int i = 0; i < CIndex2ColorOpenGLqv::nColorEntries; ++i) {
            ASSERT_TRUE(std::all_of(t[i], t[i] + 3, [](float c) { return c >= 0 && c <= 1; }));
            ASSERT_EQ(t[i][3], 1.0f) << i;
            ASSERT_GT(t[i][nHue], t[i][2 - nHue]) << i;
            if (i > 0) {
                ASSERT_LE(luminance(t[i]), luminance(t[i - 1])) << i;
            }
        }
        EXPECT_GT(luminance(t[0]), 0.5);
        EXPECT_LT(luminance(t[380]), 0.5 * luminance(t[0]));
        EXPECT_GT(*std::max_element(t[511], t[511] + 3), 0.3f);
    }
    EXPECT_EQ(colors.m_pColorTableMax[1] - colors.m_pColorTableMax[0], 4);
    EXPECT_EQ(colors.m_pColorTableMin[511] - colors.m_pColorTableMin[0], 511 * 4);
}
