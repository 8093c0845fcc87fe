#pragma once

// Shared by the tests of the views, dialogs and the dialog facade: they run the real library
// (libcontourmap3d, which registers its templates, menu and cursors when it loads) under
// QT_QPA_PLATFORM=offscreen and drive it with real Qt events.

#include "afxwin.h"

#include <QApplication>
#include <QTest>

#include <string>
#include <vector>

class QAction;
class QWidget;

// Message-box texts shown since the last clear (a recorder is installed before any window).
std::vector<std::string>& recordedMessages();

// What the library asked of the device context and the viewport, in order, as their observers
// tell it; the two failure switches make the window system and the driver fail.
struct SWindowCalls {
    struct SText {
        int x;
        int y;
        std::wstring str;
    };
    std::vector<SText> texts;                  // CDC::TextOutW
    int nContextAttempts = 0;                  // CGL4d::createViewGLContext
    int nContextsMade = 0;                     // successful ones
    bool bFailContexts = false;                // when set, every context creation fails
    std::vector<std::pair<int, int>> reshapes; // CGL4d::reshape
    int nContextsKilled = 0;                   // CGL4d::killGLCurrentContext
    bool bFailReleaseDC = false; // when set, CWnd::ReleaseDC releases but reports failure
    void clear() { *this = SWindowCalls(); }
};
SWindowCalls& windowCalls();

// Handles pending events (layout, paints) a few times over.
void pump();

// The Qt widget behind a window handle, and the top-level window showing it.
QWidget* widgetOf(const CWnd& wnd);
QWindow* windowOf(const CWnd& wnd);
// A point in wnd's client coordinates as a point of its top-level window, for QTest events.
QPoint eventPoint(const CWnd& wnd, CPoint client);

// The View Mode menu item of a dialog with that text ("Normal", "Rotate", "Zoom", "Pick Sensor").
QAction* menuItem(const CWnd& dlg, const char* pszText);

// Left-button gestures over a window's client area, as the user makes them.
void press(const CWnd& wnd, CPoint client);
void moveTo(const CWnd& wnd, CPoint client);
void release(const CWnd& wnd, CPoint client);
void drag(const CWnd& wnd, CPoint from, CPoint to);
