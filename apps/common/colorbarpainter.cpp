#include "colorbarpainter.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const int nBarLeft = 12;
const int nTickLength = 5;
const int nLevelMark = 4;
const int nLabelGap = 5;
const int nRightMargin = 8;

int _barWidth(const QFontMetrics& metrics) {
    return std::clamp(metrics.height() + 4, 12, 28);
}

int _titleHeight(const QFontMetrics& metrics, bool bTitle) {
    return bTitle ? metrics.height() + 4 : 0;
}

} // namespace

int colorBarPanelWidth(const std::string& strUnit, const QFont& font, int nMinWidth) {
    const QFontMetrics metrics(font);
    // The longest text "%.4g" gives, with the longer of the extremes' names.
    const QString strWidest =
        QString::fromStdString(tickLabel({CColorScale::tickMax, -8.888e-88}, strUnit));
    const int nNeeded = nBarLeft + _barWidth(metrics) + nTickLength + nLabelGap +
                        metrics.horizontalAdvance(strWidest) + nRightMargin;
    return std::max(nMinWidth, nNeeded);
}

QRect colorBarRect(const QRect& panel, const QFont& font, bool bTitle) {
    const QFontMetrics metrics(font);
    // Half a line above and below, so the labels of the end ticks fit in the panel.
    const int nHalfLine = metrics.height() / 2 + 2;
    const int nTop = panel.top() + _titleHeight(metrics, bTitle) + nHalfLine;
    const int nBottom = panel.bottom() - nHalfLine;
    if (nBottom - nTop < 1) {
        return QRect();
    }
    return QRect(panel.left() + nBarLeft, nTop, _barWidth(metrics), nBottom - nTop + 1);
}

void paintColorBar(QPainter& painter, const QRect& panel, const CColorScale& scale,
                   const std::string& strUnit, const QString& strTitle,
                   const SColorBarStyle& style) {
    painter.save();
    painter.setClipRect(panel);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(panel, style.background);
    painter.setFont(style.font);
    const QFontMetrics metrics(style.font);
    const bool bTitle = !strTitle.isEmpty();
    if (bTitle) {
        painter.setPen(style.text);
        const QRect titleRect(panel.left() + 4, panel.top(), panel.width() - 8, metrics.height());
        painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                         metrics.elidedText(strTitle, Qt::ElideRight, titleRect.width()));
    }
    const QRect bar = colorBarRect(panel, style.font, bTitle);
    if (bar.isEmpty()) {
        painter.restore();
        return;
    }
    const int nRows = bar.height();
    for (int nRow = 0; nRow < nRows; ++nRow) {
        const CColorScale::SRgb rgb = scale.rgbAt(scale.valueAtRow(nRow, nRows));
        painter.fillRect(bar.left(), bar.top() + nRow, bar.width(), 1, QColor(rgb.r, rgb.g, rgb.b));
    }

    // The isolines' levels: a short dark mark across the bar's edge for each, as the lines
    // cross the map.
    painter.setPen(style.text);
    for (double dLevel : scale.levels()) {
        const int nRow = bar.top() + static_cast<int>(std::lround(scale.rowOf(dLevel, nRows)));
        painter.drawLine(bar.right() - nLevelMark + 1, nRow, bar.right(), nRow);
    }

    const std::vector<CColorScale::STick> aTicks = scale.ticks();
    std::vector<double> aRows;
    for (const CColorScale::STick& tick : aTicks) {
        aRows.push_back(bar.top() + std::round(scale.rowOf(tick.dValue, nRows)));
    }
    // Labels keep a pixel or two between their boxes.
    const double dHalfLine = metrics.height() / 2.0;
    const std::vector<double> aCentres = placeTickLabels(
        aTicks, aRows, metrics.height() + 2,
        panel.top() + _titleHeight(metrics, bTitle) + dHalfLine, panel.bottom() - dHalfLine);

    const int nTickStart = bar.right() + 1;
    const int nLabelX = nTickStart + nTickLength + nLabelGap;
    painter.setPen(style.text);
    for (std::size_t k = 0; k < aTicks.size(); ++k) {
        const int nRow = static_cast<int>(aRows[k]);
        painter.drawLine(nTickStart, nRow, nTickStart + nTickLength - 1, nRow);
        if (std::isnan(aCentres[k])) {
            continue; // no room for its label: the tick alone marks it
        }
        const int nCentre = static_cast<int>(std::lround(aCentres[k]));
        if (nCentre != nRow) {
            // A label moved away from its tick keeps a thin line back to it.
            painter.drawLine(nTickStart + nTickLength - 1, nRow, nLabelX - 2, nCentre);
        }
        const QString strLabel = QString::fromStdString(tickLabel(aTicks[k], strUnit));
        const QRect labelRect(nLabelX, nCentre - metrics.height() / 2, panel.right() - nLabelX + 1,
                              metrics.height());
        painter.drawText(labelRect, Qt::AlignLeft | Qt::AlignVCenter, strLabel);
    }
    painter.restore();
}
