#include "afxmsgbox.h"
#include "resource.h"
#include "resourcetypes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <tuple>

namespace {

const CDlgTemplateqv& dialog(int nId) {
    const CDlgTemplateqv* pDlg = findDialogTemplate(cm3dResourceTable(), nId);
    EXPECT_NE(pDlg, nullptr) << nId;
    return pDlg != nullptr ? *pDlg
                           : *findDialogTemplate(cm3dResourceTable(), IDD_CONTMAP3D_TIMEDOMAIN);
}

constexpr int kSize = 32;

const CCursorTemplateqv& cursor(int nId) {
    const CCursorTemplateqv* pCur = findCursorTemplate(cm3dResourceTable(), nId);
    EXPECT_NE(pCur, nullptr) << nId;
    return pCur != nullptr ? *pCur : *findCursorTemplate(cm3dResourceTable(), IDC_CURSOR_ZOOM);
}

bool drawn(const CCursorTemplateqv& cur, int x, int y) {
    return x >= 0 && y >= 0 && x < kSize && y < kSize && cur.apszRows[y][x] != '.';
}

// Every template equals the time-domain one control by control and in its header,
// apart from the title and the differences named here.
TEST(DialogTemplates, DifferencesFromTimeDomain) {
    struct Case {
        int nDlg;
        const char* pszTitle;
        int nMapId;
        short nOkY, nUpdateY, nSensorActCx;
    };
    const Case cases[] = {
        {IDD_CONTMAP3D_TIMEDOMAIN, "Time-domain 3D Contour Map", IDC_MAP_TIMEDOMAIN, 179, 163, 55},
        {IDD_CONTMAP3D_FREQUENCY, "Frequency 3D Contourmap", IDC_MAP_SPECTRUM, 153, 137, 55},
        {IDD_CONTMAP3D_MODELING, "Modeling 3D Contour Map", IDC_MAP_TIMEDOMAIN, 179, 163, 55},
        {IDD_CONTMAP3D_SPECTRAL, "Spectral 3D Contourmap", IDC_MAP_SPECTRUM, 153, 137, 58}};
    const CDlgTemplateqv& ref = dialog(IDD_CONTMAP3D_TIMEDOMAIN);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nDlg);
        const CDlgTemplateqv& dlg = dialog(c.nDlg);
        EXPECT_STREQ(dlg.pszTitle, c.pszTitle);
        EXPECT_STREQ(dlg.pszFontName, ref.pszFontName);
        EXPECT_EQ(std::make_tuple(dlg.dwStyle, dlg.nPointSize, dlg.cx, dlg.cy, dlg.nMenuId),
                  std::make_tuple(ref.dwStyle, ref.nPointSize, ref.cx, ref.cy, ref.nMenuId));
        // Only the dialogs of a time selection have its mark, the last control.
        ASSERT_EQ(dlg.nItems, ref.nItems - (c.nMapId == IDC_MAP_TIMEDOMAIN ? 0 : 1));
        for (int i = 0; i < dlg.nItems; ++i) {
            const CDlgItemTemplateqv &it = dlg.pItems[i], &was = ref.pItems[i];
            SCOPED_TRACE(was.nId);
            EXPECT_EQ(it.nId, was.nId == IDC_MAP_TIMEDOMAIN ? c.nMapId : was.nId) << "tab order";
            EXPECT_STREQ(it.pszClass, was.pszClass);
            EXPECT_STREQ(it.pszText, was.pszText);
            EXPECT_EQ(std::make_tuple(it.dwStyle, it.dwExStyle, it.x, it.cy),
                      std::make_tuple(was.dwStyle, was.dwExStyle, was.x, was.cy));
            EXPECT_EQ(it.y, was.nId == IDOK ? c.nOkY : was.nId == IDC_UPDATE ? c.nUpdateY : was.y);
            EXPECT_EQ(it.cx, was.nId == IDC_SENSOR_ACT ? c.nSensorActCx : was.cx);
        }
    }
}

// Duplicate ids break lookups; controls outside the box or on top of each other are hidden.
// Buttons and edits take the tab stop, OK alone is the default button, and the map keeps
// SS_NOTIFY off so that it stays transparent to hit-testing and the dialog gets the mouse.
TEST(DialogTemplates, LayoutAndStylesByControlKind) {
    for (int nDlg : {IDD_CONTMAP3D_TIMEDOMAIN, IDD_CONTMAP3D_FREQUENCY, IDD_CONTMAP3D_MODELING,
                     IDD_CONTMAP3D_SPECTRAL}) {
        SCOPED_TRACE(nDlg);
        const CDlgTemplateqv& dlg = dialog(nDlg);
        std::set<int> seen;
        for (int i = 0; i < dlg.nItems; ++i) {
            const CDlgItemTemplateqv& a = dlg.pItems[i];
            SCOPED_TRACE(a.nId);
            EXPECT_TRUE(a.nId == -1 || seen.insert(a.nId).second) << "duplicate id";
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.cx > 0 && a.cy > 0 && a.x + a.cx <= dlg.cx &&
                        a.y + a.cy <= dlg.cy);
            for (int j = i + 1; j < dlg.nItems; ++j) {
                const CDlgItemTemplateqv& b = dlg.pItems[j];
                EXPECT_FALSE(a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy &&
                             b.y < a.y + a.cy)
                    << "overlaps control " << b.nId;
            }
            const bool bButton = std::strcmp(a.pszClass, "BUTTON") == 0;
            const bool bMap = std::strcmp(a.pszClass, "STATIC") == 0 && a.nId != -1;
            EXPECT_EQ(a.dwStyle & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
            EXPECT_EQ((a.dwStyle & WS_TABSTOP) != 0, bButton || !std::strcmp(a.pszClass, "EDIT"));
            EXPECT_EQ(bButton && (a.dwStyle & 0xF) == BS_DEFPUSHBUTTON, a.nId == IDOK);
            EXPECT_TRUE(!bMap || (a.dwStyle & (SS_NOTIFY | SS_SUNKEN)) == SS_SUNKEN);
            EXPECT_EQ(a.dwExStyle, bMap ? WS_EX_CLIENTEDGE : 0UL);
        }
    }
}

// Ids repeat across kinds (the menu and the zoom cursor share one), so each lookup keeps to its own
// kind's list.
TEST(Lookups, EachKindFindsOnlyItsOwnIds) {
    const CResourceTableqv& table = cm3dResourceTable();
    EXPECT_NE(findMenuTemplate(table, dialog(IDD_CONTMAP3D_TIMEDOMAIN).nMenuId), nullptr)
        << "the dialogs' menu bar";
    EXPECT_EQ(findDialogTemplate(table, IDR_VIEWMODE), nullptr);
    EXPECT_EQ(findMenuTemplate(table, IDD_CONTMAP3D_TIMEDOMAIN), nullptr);
    EXPECT_EQ(findCursorTemplate(table, ID_VIEW_NORMAL), nullptr);
    const CResourceTableqv empty = {nullptr, 0, nullptr, 0, nullptr, 0};
    EXPECT_TRUE(!findDialogTemplate(empty, IDD_CONTMAP3D_TIMEDOMAIN) &&
                !findMenuTemplate(empty, IDR_VIEWMODE) &&
                !findCursorTemplate(empty, IDC_CURSOR_ZOOM));
}

// Zoom and rotate are drawn point-symmetric about their hot spot; the hand points with it.
TEST(Cursors, WellFormedWithHotSpotOnTheShape) {
    for (int nId : {IDC_CURSOR_ZOOM, IDC_CURSOR_ROTATE, IDC_CURSOR_PICK}) {
        SCOPED_TRACE(nId);
        const CCursorTemplateqv& cur = cursor(nId);
        for (int y = 0; y < kSize; ++y)
            ASSERT_TRUE(std::strspn(cur.apszRows[y], ".WB") == size_t{kSize} &&
                        cur.apszRows[y][kSize] == '\0')
                << "row " << y;
        EXPECT_TRUE(drawn(cur, cur.nHotSpotX, cur.nHotSpotY));
        for (int y = 0; y < kSize && nId != IDC_CURSOR_PICK; ++y)
            for (int x = 0; x < kSize; ++x)
                EXPECT_EQ(drawn(cur, x, y),
                          drawn(cur, 2 * cur.nHotSpotX - x, 2 * cur.nHotSpotY - y))
                    << x << "," << y;
    }
}

TEST(Cursors, ZoomRingsAreConcentricAroundHotSpot) {
    const CCursorTemplateqv& cur = cursor(IDC_CURSOR_ZOOM);
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
    const CCursorTemplateqv& cur = cursor(IDC_CURSOR_PICK);
    int nTop = 0;
    while (nTop < kSize - 1 && std::strspn(cur.apszRows[nTop], ".") == size_t{kSize})
        ++nTop;
    const std::string row = cur.apszRows[nTop];
    const size_t nLeft = row.find_first_not_of('.'), nRight = row.find_last_not_of('.');
    EXPECT_EQ(cur.nHotSpotY, nTop);
    EXPECT_LE(nRight - nLeft, 2u) << "the tip is a few pixels wide";
    EXPECT_EQ(static_cast<size_t>(cur.nHotSpotX), (nLeft + nRight) / 2) << "middle of the tip";
}

} // namespace
