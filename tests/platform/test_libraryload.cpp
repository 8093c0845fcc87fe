#include "afxwin.h"
#include "resource.h"

#include <EGL/egl.h>
#include <QCoreApplication>

#include <gtest/gtest.h>

// This program links the library, so its start-up hook has run before main.
// Windows need the toolkit; fonts and the registered resources do not.
TEST(LibraryLoad, RegistersResourcesAndRunTimeClassesAndNothingElse) {
    CDynLinkLibrary* pEntry = AfxGetFirstDynLinkLibrary();
    ASSERT_NE(pEntry, nullptr);
    EXPECT_EQ(pEntry->m_pNextDLL, nullptr);
    EXPECT_EQ(AfxFindResourceHandle(IDD_CONTMAP3D_SPECTRAL, RT_DIALOGqv), pEntry->m_hResource);
    EXPECT_NE(CRuntimeClass::FromName("CDialog"), nullptr);

    // No toolkit, window, GL context or message box was started.
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
    EXPECT_EQ(AfxGetApp(), nullptr);
    EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);
    EXPECT_EQ(AfxSetMessageBoxHandler(nullptr), nullptr);
    CDialog dlg;
    EXPECT_FALSE(dlg.Create(IDD_CONTMAP3D_TIMEDOMAIN));
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    CFont font;
    EXPECT_TRUE(font.CreatePointFont(90, "Arial"));
    EXPECT_EQ(font.GetPixelHeight(), 12);
}
