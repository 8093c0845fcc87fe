#include "index2color.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

double luminance(const float* p) {
    auto linear = [](float c) {
        return c <= 0.04045f ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(p[0]) + 0.7152 * linear(p[1]) + 0.0722 * linear(p[2]);
}

} // namespace

TEST(ColorTables, BothSidesDeepenFromPaleToDarkButNeverBlack) {
    CIndex2ColorOpenGLqv colors;
    const struct {
        float* const* ppTable;
        int nHue, nOther; // dominant channel and the one it dominates: warm red, cool blue
    } sides[] = {{colors.m_pColorTableMax, 0, 2}, {colors.m_pColorTableMin, 2, 0}};
    for (const auto& side : sides) {
        SCOPED_TRACE(side.nHue == 0 ? "upper" : "lower");
        float* const* t = side.ppTable;
        for (int i = 0; i < CIndex2ColorOpenGLqv::nColorEntries; ++i) {
            ASSERT_NE(t[i], nullptr) << i;
            ASSERT_TRUE(std::all_of(t[i], t[i] + 3, [](float c) { return c >= 0 && c <= 1; }));
            ASSERT_EQ(t[i][3], 1.0f) << i;
            ASSERT_GT(t[i][side.nHue], t[i][side.nOther]) << i;
            if (i > 0) {
                ASSERT_LE(luminance(t[i]), luminance(t[i - 1])) << i;
            }
        }
        EXPECT_GT(luminance(t[0]), 0.5);
        EXPECT_LT(luminance(t[380]), 0.5 * luminance(t[0]));
        EXPECT_LT(luminance(t[511]), luminance(t[380]));
        EXPECT_GT(*std::max_element(t[511], t[511] + 3), 0.3f);
    }
}

TEST(ColorTables, AllInstancesShareOneStorage) {
    CIndex2ColorOpenGLqv first;
    CIndex2ColorOpenGLqv second;
    CIndex2ColorOpenGLqv copy(first);
    for (int i = 0; i < CIndex2ColorOpenGLqv::nColorEntries; ++i) {
        ASSERT_EQ(second.m_pColorTableMax[i], first.m_pColorTableMax[i]);
        ASSERT_EQ(copy.m_pColorTableMin[i], first.m_pColorTableMin[i]);
        ASSERT_NE(first.m_pColorTableMax[i], first.m_pColorTableMin[i]);
    }
    EXPECT_EQ(first.m_pColorTableMax[1] - first.m_pColorTableMax[0], 4);
}
