#include "afxapp.h"

#include "qtwndbridge.h"

#include <QApplication>

#include <memory>

using namespace afxqt;

namespace {
CWinApp* s_pApp = nullptr;
std::unique_ptr<QApplication> s_pOwnApp;
} // namespace

IMPLEMENT_DYNAMIC(CWinApp, CCmdTarget)

CWinApp::CWinApp() {
    s_pApp = this;
}

CWinApp::~CWinApp() {
    if (s_pApp == this)
        s_pApp = nullptr;
}

CWinApp* AfxGetApp() {
    return s_pApp;
}

CWnd* AfxGetMainWnd() {
    return s_pApp ? s_pApp->m_pMainWnd : nullptr;
}

BOOL AfxWinInit(int& argc, char** argv) {
    if (QCoreApplication::instance() == nullptr)
        s_pOwnApp = std::make_unique<QApplication>(argc, argv);
    if (!_afxHaveApp())
        return FALSE;
    _afxEnsureIntegration();
    return TRUE;
}

void AfxWinTerm() {
    s_pOwnApp.reset();
}

void AfxPumpMessages() {
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::processEvents();
}

BOOL AfxSaveWindowImage(CWnd* pWnd, const char* lpszPath) {
    QWidget* top = pWnd ? _afxTopWidget(pWnd) : nullptr;
    if (top == nullptr || lpszPath == nullptr)
        return FALSE;
    return top->grab().save(QString::fromUtf8(lpszPath), "PNG") ? TRUE : FALSE;
}
