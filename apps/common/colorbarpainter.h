#pragma once

#include "colorscale.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <string>

class QPainter;

// How a colour bar panel looks.
struct SColorBarStyle {
    QFont font;
    QColor background = Qt::black;
    QColor text = Qt::white;
};

// Width a panel needs so that any tick label of the unit fits, the same for every scale so that
// a sequence of pictures keeps one size; at least nMinWidth.
int colorBarPanelWidth(const std::string& strUnit, const QFont& font, int nMinWidth = 160);

// Where the bar itself lies in a panel (empty when the panel is too low for one). With a title
// the bar starts below it.
QRect colorBarRect(const QRect& panel, const QFont& font, bool bTitle);

// Fills the panel with the background and draws the optional title, the vertical bar from the
// bar's bottom value up to its top value with each row in the colour the renderer gives that
// value, and a labelled tick at each threshold and data extreme.
void paintColorBar(QPainter& painter, const QRect& panel, const CColorScale& scale,
                   const std::string& strUnit, const QString& strTitle,
                   const SColorBarStyle& style);
