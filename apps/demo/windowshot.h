#pragma once

#include <QImage>
#include <QString>

class QWidget;

// The main window and every other visible top-level window side by side (main window first,
// the others from left to right as they are placed), each as the window draws itself: no
// screen is read, so this works without a display as well.
QImage composeTopLevelWindows(QWidget* pMain);

// Writes composeTopLevelWindows as PNG; false with error set when it cannot be written.
bool saveTopLevelWindows(QWidget* pMain, const QString& strPath, QString& error);
