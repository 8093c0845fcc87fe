#include "afxmsgbox.h"
#include "resource.h"
#include "resourcetypes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <tuple>

namespace {

const int kDialogs[] = {IDD_CONTMAP3D_TIMEDOMAIN, IDD_CONTMAP3D_FREQUENCY, IDD_CONTMAP3D_MODELING,
                        IDD_CONTMAP3D_SPECTRAL};

// The dialogs share the time-domain header and controls in its tab order, with their own map id;
// only the dialogs of a time selection have its mark, the last control. Duplicate ids break
// lookups; controls outside the box or on top of each other are hidden. Buttons and edits take
// the tab stop, OK alone is the default button, and the map keeps SS_NOTIFY off so that it stays
// transparent to hit-testing and the dialog gets the mouse.
TEST(DialogTemplates, EveryDialogHasTheTimeDomainControlsInItsOrderLaidOutByKind) {
    const CDlgTemplateqv* ref = findDialogTemplate(cm3dResourceTable(), IDD_CONTMAP3D_TIMEDOMAIN);
    ASSERT_NE(ref, nullptr);
    for (int nDlg : kDialogs) {
        SCOPED_TRACE(nDlg);
        const CDlgTemplateqv* dlg = findDialogTemplate(cm3dResourceTable(), nDlg);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(std::make_tuple(dlg->dwStyle, std::string(dlg->pszFontName), dlg->nPointSize,
                                  dlg->cx, dlg->cy, dlg->nMenuId),
                  std::make_tuple(ref->dwStyle, std::string(ref->pszFontName), ref->nPointSize,
                                  ref->cx, ref->cy, ref->nMenuId));
        const bool bTime = nDlg == IDD_CONTMAP3D_TIMEDOMAIN || nDlg == IDD_CONTMAP3D_MODELING;
        ASSERT_EQ(dlg->nItems, ref->nItems - (bTime ? 0 : 1));
        std::set<int> seen;
        for (int i = 0; i < dlg->nItems; ++i) {
            const CDlgItemTemplateqv &a = dlg->pItems[i], &was = ref->pItems[i];
            SCOPED_TRACE(a.nId);
            EXPECT_EQ(a.nId, was.nId == IDC_MAP_TIMEDOMAIN
                                 ? (bTime ? IDC_MAP_TIMEDOMAIN : IDC_MAP_SPECTRUM)
                                 : was.nId);
            EXPECT_EQ(std::string(a.pszClass) + a.pszText, std::string(was.pszClass) + was.pszText);
            EXPECT_TRUE(a.nId == -1 || seen.insert(a.nId).second) << "duplicate id";
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.cx > 0 && a.cy > 0 && a.x + a.cx <= dlg->cx &&
                        a.y + a.cy <= dlg->cy);
            for (int j = i + 1; j < dlg->nItems; ++j) {
                const CDlgItemTemplateqv& b = dlg->pItems[j];
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
    EXPECT_NE(findMenuTemplate(table, IDR_VIEWMODE), nullptr);
    EXPECT_EQ(findDialogTemplate(table, IDR_VIEWMODE), nullptr);
    EXPECT_EQ(findMenuTemplate(table, IDD_CONTMAP3D_TIMEDOMAIN), nullptr);
    EXPECT_EQ(findCursorTemplate(table, ID_VIEW_NORMAL), nullptr);
    const CResourceTableqv empty = {nullptr, 0, nullptr, 0, nullptr, 0};
    EXPECT_TRUE(!findDialogTemplate(empty, IDD_CONTMAP3D_TIMEDOMAIN) &&
                !findMenuTemplate(empty, IDR_VIEWMODE) &&
                !findCursorTemplate(empty, IDC_CURSOR_ZOOM));
}

} // namespace
