#pragma once

// Shared by the window-layer tests, which run on the harness of the views' tests (recorded
// message boxes, event helpers); these address windows by pointer, as the layer's callers do.

#include "qtwndbridge.h"
#include "resource.h"
#include "windowtest.h"

inline QWidget* frameOf(const CWnd* pWnd) {
    return afxqt::_afxTopWidget(pWnd);
}

// A point in a window's client coordinates as a point of its top-level window, for events that
// go through Qt's own hit-testing.
inline QPoint windowPoint(const CWnd* pWnd, QPoint client) {
    QWidget* w = widgetOf(*pWnd);
    return w->mapTo(w->window(), client);
}
