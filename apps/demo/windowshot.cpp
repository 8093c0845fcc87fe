#include "windowshot.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

// Menus, tool tips and other pop-ups are windows too, but not ones a user arranged.
bool _isShownWindow(QWidget* pWidget) {
    if (!pWidget->isWindow() || !pWidget->isVisible())
        return false;
    const Qt::WindowType nType = pWidget->windowType();
    return nType == Qt::Window || nType == Qt::Dialog;
}

} // namespace

QImage composeTopLevelWindows(QWidget* pMain) {
    std::vector<QWidget*> aWindows;
    for (QWidget* pWidget : QApplication::topLevelWidgets())
        if (pWidget != pMain && _isShownWindow(pWidget))
            aWindows.push_back(pWidget);
    std::stable_sort(aWindows.begin(), aWindows.end(), [](QWidget* a, QWidget* b) {
        return a->frameGeometry().x() < b->frameGeometry().x();
    });
    if (pMain && pMain->isVisible())
        aWindows.insert(aWindows.begin(), pMain);

    // Without a window manager no title bar is drawn, so each shot gets its title above it.
    const int nGap = 12;
    const QFontMetrics metrics(QApplication::font());
    const int nTitle = metrics.height() + 6;
    std::vector<QPixmap> aShots;
    int nWidth = nGap, nHeight = 0;
    for (QWidget* pWindow : aWindows) {
        aShots.push_back(pWindow->grab());
        const QSize size = aShots.back().deviceIndependentSize().toSize();
        nWidth += size.width() + nGap;
        nHeight = std::max(nHeight, size.height());
    }
    if (aShots.empty())
        return QImage();
    QImage image(nWidth, nHeight + nTitle + 2 * nGap, QImage::Format_RGB32);
    image.fill(QColor(90, 90, 96));
    QPainter painter(&image);
    painter.setFont(QApplication::font());
    painter.setPen(Qt::white);
    int x = nGap;
    for (std::size_t k = 0; k < aShots.size(); ++k) {
        const int nShotWidth = aShots[k].deviceIndependentSize().toSize().width();
        painter.drawText(
            QRect(x, nGap, nShotWidth, nTitle - 4), Qt::AlignLeft | Qt::AlignVCenter,
            metrics.elidedText(aWindows[k]->windowTitle(), Qt::ElideRight, nShotWidth));
        painter.drawPixmap(x, nGap + nTitle, aShots[k]);
        x += nShotWidth + nGap;
    }
    return image;
}

bool saveTopLevelWindows(QWidget* pMain, const QString& strPath, QString& error) {
    const QImage image = composeTopLevelWindows(pMain);
    if (image.isNull()) {
        error = "no window is shown";
        return false;
    }
    if (!image.save(strPath, "PNG")) {
        error = "cannot write " + strPath;
        return false;
    }
    return true;
}
