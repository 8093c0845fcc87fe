#pragma once

// Inside the layer only: the Qt cursor behind a cursor handle.

#include "afxcursor.h"

#include <QCursor>
#include <QImage>
#include <QPoint>

class QWidget;

struct HCURSOR__ {
    int nId = 0;
    QPoint hotSpot;
    QImage image;                            // 32 x 32, ARGB: white, black or transparent pixels
    Qt::CursorShape shape = Qt::ArrowCursor; // system cursors only
};

namespace afxqt {

QCursor _afxQCursor(HCURSOR hCursor);
// The widget whose cursor SetCursor changes (the one under the pointer).
void _afxSetCursorWidget(QWidget* pWidget);

} // namespace afxqt
