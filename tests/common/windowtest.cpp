#include "windowtest.h"

#include "afxobserver.h"
#include "gl4dobserver.h"

#include <QAction>
#include <QMenuBar>
#include <QWidget>
#include <QWindow>

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

// Each observer call lands in windowCalls(); static, since windows may still go after main returns.
const SWndObserver s_wndObserver = {
    [](int x, int y, const wchar_t* lpszString, int nCount) {
        if (lpszString != nullptr && nCount > 0)
            windowCalls().texts.push_back(
                {x, y, std::wstring(lpszString, static_cast<size_t>(nCount))});
    },
    [](int nResult) { return windowCalls().bFailReleaseDC ? 0 : nResult; }};
const SGL4dObserver s_gl4dObserver = {
    [] {
        ++windowCalls().nContextAttempts;
        return windowCalls().bFailContexts ? 0 : 1;
    },
    [](int nResult) { windowCalls().nContextsMade += nResult ? 1 : 0; },
    [](int nWidth, int nHeight) { windowCalls().reshapes.emplace_back(nWidth, nHeight); },
    [] { ++windowCalls().nContextsKilled; }};

} // namespace

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

// Programs with a main of their own (the soak run) define CM3D_WINDOWTEST_NO_MAIN for the helpers.
#ifndef CM3D_WINDOWTEST_NO_MAIN

int main(int argc, char** argv) {
    // The offscreen platform warns on every raise; nothing is wrong, so keep the log readable.
    static QtMessageHandler s_pfnQtDefault = nullptr;
    s_pfnQtDefault = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& msg) {
            if (!msg.contains(QLatin1String("does not support raise()")) && s_pfnQtDefault)
                s_pfnQtDefault(type, context, msg);
        });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Installed before any window: the library keeps a handler that is already there.
    AfxSetMessageBoxHandler([](const char* pszText, unsigned int) -> int {
        recordedMessages().push_back(pszText);
        return IDOK;
    });
    AfxSetWndObserver(&s_wndObserver);
    setGL4dObserver(&s_gl4dObserver);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#endif
