#include "overlay.h"

#include "colorbarpainter.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cstdio>

namespace {

QFont _font(int nPixels) {
    QFont font("Liberation Sans");
    font.setPixelSize(nPixels);
    return font;
}

// Text grows with the picture, within what stays readable and what fits beside a sphere.
QFont _barFont(int nHeight) {
    return _font(std::clamp(nHeight / 55, 9, 18));
}

QFont _labelFont(int nHeight) {
    return _font(std::clamp(nHeight / 80, 8, 14));
}

// Qt's notes (such as a missing runtime folder) would come before this command's own one-line
// messages; only what makes Qt give up is passed on.
void _qtMessage(QtMsgType nType, const QMessageLogContext&, const QString& strMessage) {
    if (nType == QtCriticalMsg || nType == QtFatalMsg) {
        std::fprintf(stderr, "contourmap-render: Qt: %s\n", strMessage.toLocal8Bit().constData());
    }
}

} // namespace

std::unique_ptr<QGuiApplication> startTextDrawing() {
    qInstallMessageHandler(_qtMessage);
    static int s_nArgc = 3;
    static char s_szName[] = "contourmap-render", s_szPlatform[] = "-platform",
                s_szOffscreen[] = "offscreen";
    static char* s_apszArgv[] = {s_szName, s_szPlatform, s_szOffscreen, nullptr};
    return std::make_unique<QGuiApplication>(s_nArgc, s_apszArgv);
}

int colorBarPanelWidthFor(int nHeight, const std::string& strUnit) {
    return colorBarPanelWidth(strUnit, _barFont(nHeight));
}

void drawOverlays(unsigned char* pRGBA, int nImageWidth, int nHeight, int nMapWidth,
                  const std::vector<SSensorLabel>& aLabels, const CColorScale* pScale,
                  const std::string& strUnit) {
    QImage image(pRGBA, nImageWidth, nHeight, nImageWidth * 4, QImage::Format_RGBA8888);
    QPainter painter(&image);
    if (!aLabels.empty()) {
        painter.save();
        painter.setClipRect(0, 0, nMapWidth, nHeight);
        painter.setRenderHint(QPainter::Antialiasing, true);
        const QFont font = _labelFont(nHeight);
        const QFontMetricsF metrics(font);
        // A dark rim keeps white names readable over black and over bright spheres alike.
        const QPen rim(QColor(0, 0, 0, 220), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        for (const SSensorLabel& label : aLabels) {
            QPainterPath path;
            const double dBaseline = label.y + (metrics.ascent() - metrics.descent()) / 2.0;
            path.addText(QPointF(label.x + label.dRadius + 2.0, dBaseline), font,
                         QString::fromStdWString(label.strName));
            painter.strokePath(path, rim);
            painter.fillPath(path, Qt::white);
        }
        painter.restore();
    }
    if (pScale) {
        SColorBarStyle style;
        style.font = _barFont(nHeight);
        paintColorBar(painter, QRect(nMapWidth, 0, nImageWidth - nMapWidth, nHeight), *pScale,
                      strUnit, QString(), style);
    }
}
