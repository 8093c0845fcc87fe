#include "resourcetypes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace {

constexpr int kSize = 32;

const CCursorTemplateqv& cursor(int nId) {
    const CCursorTemplateqv* pCur = findCursorTemplate(cm3dResourceTable(), nId);
    EXPECT_NE(pCur, nullptr) << nId;
    return pCur != nullptr ? *pCur : *findCursorTemplate(cm3dResourceTable(), 2002);
}

bool drawn(const CCursorTemplateqv& cur, int x, int y) {
    return x >= 0 && y >= 0 && x < kSize && y < kSize && cur.apszRows[y][x] != '.';
}

} // namespace

TEST(Menus, ViewModeItemsInOrder) {
    const CMenuTemplateqv* pMenu = findMenuTemplate(cm3dResourceTable(), 2002);
    ASSERT_NE(pMenu, nullptr);
    EXPECT_STREQ(pMenu->pszPopupText, "View Mode");
    const CMenuItemqv expected[] = {
        {2005, "Normal"}, {2009, "Rotate"}, {2007, "Zoom"}, {2020, "Pick Sensor"}};
    ASSERT_EQ(pMenu->nItems, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(pMenu->pItems[i].nId, expected[i].nId) << i;
        EXPECT_STREQ(pMenu->pItems[i].pszText, expected[i].pszText) << i;
    }
}

TEST(Lookups, UnknownIdsGiveNull) {
    const CResourceTableqv& table = cm3dResourceTable();
    // Ids shared across kinds must not leak from one kind's list into another's.
    EXPECT_EQ(findDialogTemplate(table, 2002), nullptr);
    EXPECT_EQ(findDialogTemplate(table, 2019), nullptr);
    EXPECT_EQ(findMenuTemplate(table, 2017), nullptr);
    EXPECT_EQ(findCursorTemplate(table, 2005), nullptr);
    EXPECT_EQ(findCursorTemplate(table, -1), nullptr);
    const CResourceTableqv empty = {nullptr, 0, nullptr, 0, nullptr, 0};
    EXPECT_EQ(findDialogTemplate(empty, 2017), nullptr);
    EXPECT_EQ(findMenuTemplate(empty, 2002), nullptr);
    EXPECT_EQ(findCursorTemplate(empty, 2002), nullptr);
}

TEST(Cursors, WellFormedWithHotSpotOnTheShape) {
    const int cases[][3] = {{2002, 16, 15}, {2003, 17, 16}, {2004, 13, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        const CCursorTemplateqv& cur = cursor(c[0]);
        EXPECT_EQ(cur.nId, c[0]);
        EXPECT_EQ(cur.nHotSpotX, c[1]);
        EXPECT_EQ(cur.nHotSpotY, c[2]);
        for (int y = 0; y < kSize; ++y) {
            ASSERT_NE(cur.apszRows[y], nullptr);
            EXPECT_EQ(std::strlen(cur.apszRows[y]), size_t{kSize}) << "row " << y;
            EXPECT_EQ(std::strspn(cur.apszRows[y], ".WB"), size_t{kSize}) << "row " << y;
        }
        EXPECT_TRUE(drawn(cur, cur.nHotSpotX, cur.nHotSpotY));
    }
}

TEST(Cursors, ZoomRingsAreConcentricAroundHotSpot) {
    const CCursorTemplateqv& cur = cursor(2002);
    const int cx = cur.nHotSpotX, cy = cur.nHotSpotY;
    // Pixels at the same distance from the centre should agree on being drawn.
    std::map<int, std::pair<int, int>> byRadius; // squared distance -> (drawn, all)
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            auto& n = byRadius[(x - cx) * (x - cx) + (y - cy) * (y - cy)];
            n.first += drawn(cur, x, y) ? 1 : 0;
            ++n.second;
        }
    }
    int nAgree = 0;
    for (const auto& r : byRadius)
        nAgree += std::max(r.second.first, r.second.second - r.second.first);
    EXPECT_GE(nAgree, kSize * kSize * 95 / 100);
    // Outwards along each axis: the centre mark, then three white rings.
    for (const auto& d : {std::make_pair(1, 0), {-1, 0}, {0, 1}, {0, -1}}) {
        int nRuns = 0;
        char prev = '.';
        for (int x = cx, y = cy; x >= 0 && y >= 0 && x < kSize && y < kSize;
             x += d.first, y += d.second) {
            nRuns += cur.apszRows[y][x] == 'W' && prev != 'W' ? 1 : 0;
            prev = cur.apszRows[y][x];
        }
        EXPECT_EQ(nRuns, 4) << d.first << "," << d.second;
    }
}

TEST(Cursors, HandHotSpotIsTheTopmostFingerTip) {
    const CCursorTemplateqv& cur = cursor(2004);
    const int hx = cur.nHotSpotX, hy = cur.nHotSpotY;
    int nTop = kSize, nLeft = kSize, nRight = -1;
    for (int y = 0; y < kSize && nTop == kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            if (drawn(cur, x, y)) {
                nTop = y;
                nLeft = std::min(nLeft, x);
                nRight = std::max(nRight, x);
            }
        }
    }
    EXPECT_EQ(nTop, hy);
    EXPECT_LE(nRight - nLeft, 2) << "the tip is a few pixels wide";
    EXPECT_EQ(hx, (nLeft + nRight) / 2) << "hot spot at the middle of the tip";
    // Below the tip the finger stays narrow before the hand widens.
    for (int y = hy + 1; y < hy + 6; ++y) {
        int nWidth = 0;
        for (int x = 0; x < kSize; ++x)
            nWidth += drawn(cur, x, y) ? 1 : 0;
        EXPECT_TRUE(drawn(cur, hx, y) && nWidth <= 5) << "row " << y;
    }
}
