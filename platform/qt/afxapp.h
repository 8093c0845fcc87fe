#pragma once

// The application: the last stop of command routing, the main window that owns dialogs created
// without a parent, and for programs without their own Qt set-up a way to start the toolkit.

#include "afxwnd.h"

class CM3D_API CWinApp : public CCmdTarget {
    DECLARE_DYNAMIC(CWinApp)
public:
    CWinApp();
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    CWnd* m_pMainWnd = nullptr;
};

// The application object (the last one constructed and still alive); null when none.
CM3D_API CWinApp* AfxGetApp();
CM3D_API CWnd* AfxGetMainWnd();

// Starts the toolkit for a program that has not (TRUE when a QApplication runs afterwards).
CM3D_API BOOL AfxWinInit(int& argc, char** argv);
// Ends what AfxWinInit started.
CM3D_API void AfxWinTerm();
// Handles the pending window messages (layout, painting) and returns.
CM3D_API void AfxPumpMessages();
// Writes the whole window (frame contents, menu bar, client area) as a PNG file.
CM3D_API BOOL AfxSaveWindowImage(CWnd* pWnd, const char* lpszPath);
