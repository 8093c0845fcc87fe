#include "resourcetypes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

namespace {

const int kAllDialogs[] = {2017, 2018, 2020, 2021};

const CDlgTemplateqv& dialog(int nId) {
    const CDlgTemplateqv* pDlg = findDialogTemplate(cm3dResourceTable(), nId);
    EXPECT_NE(pDlg, nullptr) << nId;
    return pDlg != nullptr ? *pDlg : *findDialogTemplate(cm3dResourceTable(), 2017);
}

const CDlgItemTemplateqv* item(const CDlgTemplateqv& dlg, int nId) {
    for (int i = 0; i < dlg.nItems; ++i) {
        if (dlg.pItems[i].nId == nId)
            return &dlg.pItems[i];
    }
    return nullptr;
}

bool isClass(const CDlgItemTemplateqv& it, const char* pszClass) {
    return std::strcmp(it.pszClass, pszClass) == 0;
}

} // namespace

TEST(DialogTemplates, HeaderAndControlOrder) {
    const std::vector<int> timeDomain = {1,    2001, 2003, 2004, 2005, -1,   -1,
                                         2006, 2008, 2010, 2011, 2012, 2013, 2014};
    const std::vector<int> frequency = {1,    2015, 2003, 2004, 2005, -1,  -1,
                                        2006, 2008, 2010, 2011, 2012, 2013};
    struct Case {
        int nId;
        const char* pszTitle;
        const std::vector<int>& ids;
    };
    const Case cases[] = {{2017, "Time-domain 3D Contour Map", timeDomain},
                          {2018, "Frequency 3D Contourmap", frequency},
                          {2020, "Modeling 3D Contour Map", timeDomain},
                          {2021, "Spectral 3D Contourmap", frequency}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nId);
        const CDlgTemplateqv& dlg = dialog(c.nId);
        EXPECT_STREQ(dlg.pszTitle, c.pszTitle);
        EXPECT_EQ(dlg.dwStyle, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_SETFONT);
        EXPECT_STREQ(dlg.pszFontName, "MS Sans Serif");
        EXPECT_EQ(dlg.nPointSize, 8);
        EXPECT_EQ(std::vector<int>({dlg.cx, dlg.cy, dlg.nMenuId}),
                  std::vector<int>({367, 308, 2002}));
        std::vector<int> ids;
        for (int i = 0; i < dlg.nItems; ++i)
            ids.push_back(dlg.pItems[i].nId);
        EXPECT_EQ(ids, c.ids);
    }
    const CDlgTemplateqv& dlg = dialog(2017);
    EXPECT_STREQ(item(dlg, 2008)->pszText, "Autofit  Place");
    EXPECT_STREQ(dlg.pItems[5].pszText, "Min");
    EXPECT_STREQ(dlg.pItems[6].pszText, "Max");
}

// Each template must equal 2017 control by control, apart from the differences named here.
TEST(DialogTemplates, DifferencesFromTimeDomain) {
    struct Case {
        int nDlg, nMapId;
        short nUpdateY, nOkY, nSensorActCx;
    };
    const Case cases[] = {
        {2018, 2015, 137, 153, 55}, {2021, 2015, 137, 153, 58}, {2020, 2001, 163, 179, 55}};
    const CDlgTemplateqv& ref = dialog(2017);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nDlg);
        const CDlgTemplateqv& dlg = dialog(c.nDlg);
        EXPECT_EQ(item(dlg, 2014) != nullptr, c.nDlg == 2020);
        ASSERT_NE(item(dlg, c.nMapId), nullptr);
        EXPECT_EQ(item(dlg, 2006)->y, c.nUpdateY);
        EXPECT_EQ(item(dlg, 1)->y, c.nOkY);
        EXPECT_EQ(item(dlg, 2011)->cx, c.nSensorActCx);
        for (int i = 0; i < dlg.nItems; ++i) {
            const CDlgItemTemplateqv& it = dlg.pItems[i];
            const CDlgItemTemplateqv& was = ref.pItems[i];
            SCOPED_TRACE(it.nId);
            EXPECT_STREQ(it.pszClass, was.pszClass);
            EXPECT_STREQ(it.pszText, was.pszText);
            EXPECT_EQ(it.dwStyle, was.dwStyle);
            EXPECT_EQ(it.dwExStyle, was.dwExStyle);
            EXPECT_EQ(it.x, was.x);
            EXPECT_EQ(it.y, (it.nId == 1 || it.nId == 2006) ? it.y : was.y);
            EXPECT_EQ(it.cx, it.nId == 2011 ? it.cx : was.cx);
            EXPECT_EQ(it.cy, was.cy);
        }
    }
}

// Duplicate ids break lookups; controls outside the box or on top of each other are hidden.
TEST(DialogTemplates, UniqueIdsAndNoOverlapInsideTheDialog) {
    for (int nDlg : kAllDialogs) {
        SCOPED_TRACE(nDlg);
        const CDlgTemplateqv& dlg = dialog(nDlg);
        std::set<int> seen;
        for (int i = 0; i < dlg.nItems; ++i) {
            const CDlgItemTemplateqv& a = dlg.pItems[i];
            SCOPED_TRACE(a.nId);
            if (a.nId != -1) {
                EXPECT_TRUE(seen.insert(a.nId).second) << "duplicate id";
            }
            EXPECT_TRUE(a.x >= 0 && a.y >= 0 && a.cx > 0 && a.cy > 0);
            EXPECT_LE(a.x + a.cx, dlg.cx);
            EXPECT_LE(a.y + a.cy, dlg.cy);
            for (int j = i + 1; j < dlg.nItems; ++j) {
                const CDlgItemTemplateqv& b = dlg.pItems[j];
                EXPECT_FALSE(a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy &&
                             b.y < a.y + a.cy)
                    << "overlaps control " << b.nId;
            }
        }
    }
}

TEST(DialogTemplates, StylesByControlKind) {
    for (int nDlg : kAllDialogs) {
        SCOPED_TRACE(nDlg);
        const CDlgTemplateqv& dlg = dialog(nDlg);
        for (int i = 0; i < dlg.nItems; ++i) {
            const CDlgItemTemplateqv& it = dlg.pItems[i];
            SCOPED_TRACE(it.nId);
            EXPECT_EQ(it.dwStyle & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
            const bool bInteractive = isClass(it, "BUTTON") || isClass(it, "EDIT");
            EXPECT_EQ((it.dwStyle & WS_TABSTOP) != 0, bInteractive);
            EXPECT_EQ((it.dwStyle & 0xF) == BS_DEFPUSHBUTTON && isClass(it, "BUTTON"), it.nId == 1);
            if (isClass(it, "STATIC") && it.nId != -1) {
                // The map must stay transparent to hit-testing so the dialog gets the mouse.
                EXPECT_EQ(it.dwStyle & SS_NOTIFY, 0UL);
                EXPECT_NE(it.dwStyle & SS_SUNKEN, 0UL);
                EXPECT_EQ(it.dwExStyle, WS_EX_CLIENTEDGE);
            } else {
                EXPECT_EQ(it.dwExStyle, 0UL);
            }
        }
    }
}
