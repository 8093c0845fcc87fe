#include "windowtest.h"

#include "gl4dqv.h"

#include <QAction>
#include <QMenuBar>
#include <QWidget>
#include <QWindow>

#include <dlfcn.h>
#include <gtest/gtest.h>

std::vector<std::string>& recordedMessages() {
    static std::vector<std::string> s_messages;
    return s_messages;
}

SWindowCalls& windowCalls() {
    static SWindowCalls s_calls;
    return s_calls;
}

namespace {

int _recordMessage(const char* pszText, unsigned int /*nType*/) {
    recordedMessages().push_back(pszText);
    return IDOK;
}

// The library's own definition of an interposed call.
template <typename F> F _next(const char* pszMangled) {
    void* p = dlsym(RTLD_NEXT, pszMangled);
    if (p == nullptr) {
        std::fprintf(stderr, "window tests: no %s to pass on to\n", pszMangled);
        std::abort();
    }
    return reinterpret_cast<F>(p);
}

} // namespace

// Interposed: the executable exports these (ENABLE_EXPORTS), so the library's calls land here.
BOOL CDC::TextOutW(int x, int y, const wchar_t* lpszString, int nCount) {
    static auto pfn =
        _next<BOOL (*)(CDC*, int, int, const wchar_t*, int)>("_ZN3CDC8TextOutWEiiPKwi");
    if (lpszString != nullptr && nCount > 0)
        windowCalls().texts.push_back(
            {x, y, std::wstring(lpszString, static_cast<size_t>(nCount))});
    return pfn(this, x, y, lpszString, nCount);
}

int CGL4d::createViewGLContext(HDC hDC) {
    static auto pfn =
        _next<int (*)(CGL4d*, HDC)>("_ZN5CGL4d19createViewGLContextEP15CGLDrawTargetqv");
    ++windowCalls().nContextAttempts;
    if (windowCalls().bFailContexts)
        return 0;
    const int nResult = pfn(this, hDC);
    windowCalls().nContextsMade += nResult ? 1 : 0;
    return nResult;
}

int CGL4d::reshape(int nWidth, int nHeight) {
    static auto pfn = _next<int (*)(CGL4d*, int, int)>("_ZN5CGL4d7reshapeEii");
    windowCalls().reshapes.emplace_back(nWidth, nHeight);
    return pfn(this, nWidth, nHeight);
}

int CGL4d::killGLCurrentContext() {
    static auto pfn = _next<int (*)(CGL4d*)>("_ZN5CGL4d20killGLCurrentContextEv");
    ++windowCalls().nContextsKilled;
    return pfn(this);
}

int CWnd::ReleaseDC(CDC* pDC) {
    static auto pfn = _next<int (*)(CWnd*, CDC*)>("_ZN4CWnd9ReleaseDCEP3CDC");
    const int nResult = pfn(this, pDC);
    return windowCalls().bFailReleaseDC ? 0 : nResult;
}

void pump() {
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents();
}

// A handle names the Qt widget behind the window.
QWidget* widgetOf(const CWnd& wnd) {
    return reinterpret_cast<QWidget*>(wnd.GetSafeHwnd());
}

QWindow* windowOf(const CWnd& wnd) {
    QWidget* w = widgetOf(wnd);
    return w ? w->window()->windowHandle() : nullptr;
}

QPoint eventPoint(const CWnd& wnd, CPoint client) {
    CPoint screen = client;
    wnd.ClientToScreen(&screen);
    return widgetOf(wnd)->window()->mapFromGlobal(QPoint(screen.x, screen.y));
}

QAction* menuItem(const CWnd& dlg, const char* pszText) {
    QWidget* w = widgetOf(dlg);
    if (w == nullptr)
        return nullptr;
    for (QAction* a : w->window()->findChildren<QAction*>()) {
        if (a->text() == QString::fromUtf8(pszText))
            return a;
    }
    return nullptr;
}

void press(const CWnd& wnd, CPoint client) {
    QTest::mousePress(windowOf(wnd), Qt::LeftButton, {}, eventPoint(wnd, client));
}

void moveTo(const CWnd& wnd, CPoint client) {
    QTest::mouseMove(windowOf(wnd), eventPoint(wnd, client));
}

void release(const CWnd& wnd, CPoint client) {
    QTest::mouseRelease(windowOf(wnd), Qt::LeftButton, {}, eventPoint(wnd, client));
}

void drag(const CWnd& wnd, CPoint from, CPoint to) {
    press(wnd, from);
    moveTo(wnd, to);
    release(wnd, to);
}

// The offscreen platform warns on every raise; nothing is wrong, so keep the log readable.
static QtMessageHandler s_pfnQtDefault = nullptr;

static void _quietRaise(QtMsgType type, const QMessageLogContext& context, const QString& msg) {
    if (msg.contains(QLatin1String("does not support raise()")))
        return;
    if (s_pfnQtDefault != nullptr)
        s_pfnQtDefault(type, context, msg);
}

int main(int argc, char** argv) {
    s_pfnQtDefault = qInstallMessageHandler(_quietRaise);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Installed before any window: the library keeps a handler that is already there.
    AfxSetMessageBoxHandler(_recordMessage);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
