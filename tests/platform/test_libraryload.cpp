#include "afxwin.h"

#include <EGL/egl.h>
#include <QCoreApplication>

#include <cstring>

#include <gtest/gtest.h>

// This program links the library, so its start-up hook has run before main.
TEST(LibraryLoad, RegistersResourcesAndRunTimeClassesAndNothingElse) {
    CDynLinkLibrary* pEntry = AfxGetFirstDynLinkLibrary();
    ASSERT_NE(pEntry, nullptr);
    EXPECT_EQ(pEntry->m_pNextDLL, nullptr);
    for (int nId : {2017, 2018, 2020, 2021})
        EXPECT_EQ(AfxFindResourceHandle(nId, RT_DIALOGqv), pEntry->m_hResource) << nId;
    EXPECT_EQ(AfxFindResourceHandle(2002, RT_MENUqv), pEntry->m_hResource);
    for (int nId : {2002, 2003, 2004})
        EXPECT_EQ(AfxFindResourceHandle(nId, RT_GROUP_CURSORqv), pEntry->m_hResource) << nId;
    EXPECT_STREQ(AfxFindDialogTemplate(nullptr, 2017)->pszTitle, "Time-domain 3D Contour Map");
    EXPECT_NE(CRuntimeClass::FromName("CDialog"), nullptr);
    EXPECT_NE(CRuntimeClass::FromName("CStatic"), nullptr);

    // No toolkit, window, GL context or message box was started.
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
    EXPECT_EQ(AfxGetApp(), nullptr);
    EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);
    EXPECT_EQ(AfxSetMessageBoxHandler(nullptr), nullptr);
}

TEST(LibraryLoad, WindowsNeedTheToolkit) {
    CDialog dlg;
    EXPECT_FALSE(dlg.Create(2017));
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    CFont font;
    EXPECT_TRUE(font.CreatePointFont(90, "Arial"));
    EXPECT_EQ(font.GetPixelHeight(), 12);
}
