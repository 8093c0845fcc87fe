#pragma once

// Shared by the window-layer tests: recorded message boxes and event helpers.

#include "afxwin.h"
#include "qtwndbridge.h"
#include "resource.h"

#include <QApplication>
#include <QTest>

#include <string>
#include <vector>

// Texts of the message boxes shown since the last clear.
std::vector<std::string>& recordedMessages();

inline void pump() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

inline QWidget* widgetOf(const CWnd* pWnd) {
    return pWnd ? afxqt::_afxWidget(pWnd->m_hWnd) : nullptr;
}

inline QWidget* frameOf(const CWnd* pWnd) {
    return afxqt::_afxTopWidget(pWnd);
}

// A point in a window's client coordinates as a point of its top-level window, for events that
// go through Qt's own hit-testing.
inline QPoint windowPoint(const CWnd* pWnd, QPoint client) {
    QWidget* w = widgetOf(pWnd);
    return w->mapTo(w->window(), client);
}
