#include "index2color.h"

#include <array>
#include <cstddef>

namespace {

// Anchors of the red-blue diverging scheme that stays distinguishable under the common forms
// of colour blindness. Each side runs from its pale end (the threshold) to its deepest shade;
// every channel falls monotonically along each side, so luminance never rises.
struct SAnchor {
    int nEntry;
    float rgb[3];
};

constexpr int kLast = CIndex2ColorOpenGLqv::nColorEntries - 1;

constexpr SAnchor kWarm[] = {
    {0, {0xfd / 255.0f, 0xdb / 255.0f, 0xc7 / 255.0f}},
    {127, {0xf4 / 255.0f, 0xa5 / 255.0f, 0x82 / 255.0f}},
    {254, {0xd6 / 255.0f, 0x60 / 255.0f, 0x4d / 255.0f}},
    {380, {0xb2 / 255.0f, 0x18 / 255.0f, 0x2b / 255.0f}},
    {kLast, {0x67 / 255.0f, 0x00 / 255.0f, 0x1f / 255.0f}},
};

constexpr SAnchor kCool[] = {
    {0, {0xd1 / 255.0f, 0xe5 / 255.0f, 0xf0 / 255.0f}},
    {127, {0x92 / 255.0f, 0xc5 / 255.0f, 0xde / 255.0f}},
    {254, {0x43 / 255.0f, 0x93 / 255.0f, 0xc3 / 255.0f}},
    {380, {0x21 / 255.0f, 0x66 / 255.0f, 0xac / 255.0f}},
    {kLast, {0x05 / 255.0f, 0x30 / 255.0f, 0x61 / 255.0f}},
};

using Table = std::array<std::array<float, 4>, CIndex2ColorOpenGLqv::nColorEntries>;

template <std::size_t N> Table buildTable(const SAnchor (&anchors)[N]) {
    Table table{};
    for (std::size_t a = 0; a + 1 < N; ++a) {
        const SAnchor& from = anchors[a];
        const SAnchor& to = anchors[a + 1];
        for (int i = from.nEntry; i <= to.nEntry; ++i) {
            const float t = static_cast<float>(i - from.nEntry) / (to.nEntry - from.nEntry);
            for (int c = 0; c < 3; ++c)
                table[i][c] = from.rgb[c] + (to.rgb[c] - from.rgb[c]) * t;
            table[i][3] = 1.0f;
        }
    }
    return table;
}

Table& warmTable() {
    static Table table = buildTable(kWarm);
    return table;
}

Table& coolTable() {
    static Table table = buildTable(kCool);
    return table;
}

} // namespace

CIndex2ColorOpenGLqv::CIndex2ColorOpenGLqv() {
    Table& warm = warmTable();
    Table& cool = coolTable();
    for (int i = 0; i < nColorEntries; ++i) {
        m_pColorTableMax[i] = warm[i].data();
        m_pColorTableMin[i] = cool[i].data();
    }
}

CIndex2ColorOpenGLqv::~CIndex2ColorOpenGLqv() = default;
