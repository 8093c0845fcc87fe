#pragma once

// What the in-process tests of the demo window share: a window that keeps its error reports, a
// fixture that shows one, a paint counter and the colour bars' checks. The message-box recorder,
// pump() and main() are the window tests' (windowtest.cpp).

#include "windowtest.h"

#include "colorbarpanel.h"
#include "demowindow.h"

#include "megdata.h"
#include "show3dcntmap.h"
#include "syntheticrecording.h"

#include <QBitmap>
#include <QEvent>
#include <QImage>
#include <QRegion>
#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

inline std::unique_ptr<CMEGDataqv> syntheticRecording(int nChannels) {
    CSyntheticOptionsqv options;
    options.nMegChannels = nChannels;
    return makeSyntheticRecording(options);
}

// Keeps what the window would show in a message box.
class CRecordingWindow : public CDemoWindow {
public:
    std::vector<QString> m_aErrors;

protected:
    void reportError(const QString& strText) override { m_aErrors.push_back(strText); }
};

// Counts the paints of the widgets it watches.
class CPaintCounter : public QObject {
public:
    int m_nPaints = 0;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        m_nPaints += pEvent->type() == QEvent::Paint ? 1 : 0;
        return QObject::eventFilter(pWatched, pEvent);
    }
};

// A demo window shown with a synthetic recording; no message box may come up while it is open.
class ShownDemoWindow : public testing::Test {
protected:
    explicit ShownDemoWindow(int nChannels) : m_nChannels(nChannels) {}
    void SetUp() override {
        recordedMessages().clear();
        m_window.setRecording(syntheticRecording(m_nChannels), "synthetic recording");
        m_window.show();
        pump();
    }
    void TearDown() override {
        m_window.close();
        pump();
        EXPECT_TRUE(recordedMessages().empty()) << recordedMessages().front();
    }

    const int m_nChannels;
    CRecordingWindow m_window;
};

// The smallest rectangle holding every pixel of a colour (or, with MaskOutColor, of any other).
inline QRect boundsOf(const QImage& image, QColor colour, Qt::MaskMode nMode = Qt::MaskInColor) {
    QImage mask =
        image.convertToFormat(QImage::Format_RGB32).createMaskFromColor(colour.rgb(), nMode);
    mask.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)}); // a bitmap's region is its black
    return QRegion(QBitmap::fromImage(mask)).boundingRect();
}

// A bar shows the renderer's own two-sided range.
inline bool sameRange(const CColorScale& scale, const CShow3DCntMapqv& map) {
    return !scale.isContinuous() && scale.colorMin() == map.m_dColorMin &&
           scale.colorMax() == map.m_dColorMax && scale.stepMin() == map.m_dColorStepMin &&
           scale.stepMax() == map.m_dColorStepMax;
}

// The bar's top row is painted in the colour its scale gives the bar's top value.
inline void expectBarTopPainted(CColorBarPanel& bars, int nBar) {
    const QImage image = bars.grab().toImage();
    const QRect rect = bars.barRect(nBar);
    const CColorScale::SRgb rgb = bars.getScale(nBar).rgbAt(bars.getScale(nBar).barTop());
    EXPECT_EQ(image.pixelColor(rect.center().x(), rect.top()), QColor(rgb.r, rgb.g, rgb.b)) << nBar;
}
