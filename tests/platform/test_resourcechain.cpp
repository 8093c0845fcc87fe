#include "platformtest.h"

#include <gtest/gtest.h>

namespace {

// The other tests run on the library's resources, registered as the library does when it loads.
class CLibraryResources : public testing::Environment {
    AFX_EXTENSION_MODULE m_module = {FALSE, nullptr, nullptr, nullptr};
    void SetUp() override {
        AfxInitExtensionModule(m_module, AfxResourceModule(cm3dResourceTable()));
        new CDynLinkLibrary(m_module);
    }
    void TearDown() override { AfxTermExtensionModule(m_module); }
};
testing::Environment* const g_pLibraryResources =
    testing::AddGlobalTestEnvironment(new CLibraryResources);

constexpr CDlgItemTemplateqv kItems[] = {
    {1, "BUTTON", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, "OK", 4, 4, 40, 14}};
const CDlgTemplateqv kDialog = {
    7001, "Extra", WS_POPUP | WS_CAPTION, "MS Sans Serif", 8, 100, 50, 0, kItems, 1};
const CDlgTemplateqv* const kDialogs[] = {&kDialog};
const CMenuItemqv kMenuItems[] = {{7010, "Only"}};
const CMenuTemplateqv kMenu = {7003, "Extra", kMenuItems, 1};
const CMenuTemplateqv* const kMenus[] = {&kMenu};
const CCursorTemplateqv kCursor = {7002, 0, 0, {"W"}};
const CCursorTemplateqv* const kCursors[] = {&kCursor};
const CResourceTableqv kTable = {kDialogs, 1, kMenus, 1, kCursors, 1};

TEST(ResourceChain, ModulesRegisterAndDeregisterTheirResources) {
    AFX_EXTENSION_MODULE module = {FALSE, nullptr, nullptr, nullptr};
    EXPECT_FALSE(AfxInitExtensionModule(module, nullptr));
    EXPECT_EQ(AfxFindResourceHandle(7001, RT_DIALOGqv), nullptr);

    const HINSTANCE hExtra = AfxResourceModule(kTable);
    ASSERT_TRUE(AfxInitExtensionModule(module, hExtra));
    new CDynLinkLibrary(module);
    EXPECT_EQ(AfxFindResourceHandle(7001, RT_DIALOGqv), hExtra);
    EXPECT_EQ(AfxFindResourceHandle(7003, RT_MENUqv), hExtra);
    EXPECT_EQ(AfxFindResourceHandle(7002, RT_GROUP_CURSORqv), hExtra);
    EXPECT_EQ(AfxFindResourceHandle(7001, RT_MENUqv), nullptr); // right id, wrong type
    EXPECT_EQ(AfxFindResourceHandle(7001, 99), nullptr);
    // Modules registered earlier are searched first.
    EXPECT_EQ(AfxFindResourceHandle(IDD_CONTMAP3D_TIMEDOMAIN, RT_DIALOGqv),
              AfxResourceModule(cm3dResourceTable()));
    {
        CDialog dlg;
        EXPECT_TRUE(dlg.Create(7001));
        CRect rc;
        dlg.GetClientRect(&rc);
        EXPECT_EQ(rc, CRect(0, 0, 150, 81));
    }

    AfxTermExtensionModule(module);
    EXPECT_EQ(AfxFindResourceHandle(7001, RT_DIALOGqv), nullptr);
    EXPECT_EQ(AfxFindCursorTemplate(nullptr, 7002), nullptr);
    EXPECT_NE(AfxFindResourceHandle(IDD_CONTMAP3D_TIMEDOMAIN, RT_DIALOGqv), nullptr);
    AfxTermExtensionModule(module); // a second time does nothing
    CDialog dlg;
    EXPECT_FALSE(dlg.Create(7001));
}

} // namespace
