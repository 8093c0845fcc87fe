#include "butterflyplot.h"

#include "selectionlabels.h"
#include "timeaxis.h"

#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "pagedrecording.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

const int nMarginLeft = 70;
const int nMarginRight = 16;
const int nMarginTop = 24;
const int nMarginBottom = 44;

// Tick spacing of 1, 2 or 5 times a power of ten giving about nWanted ticks over dRange.
double _tickStep(double dRange, int nWanted) {
    const double dRaw = dRange / std::max(1, nWanted);
    const double dPower = std::pow(10.0, std::floor(std::log10(dRaw)));
    for (double dFactor : {1.0, 2.0, 5.0})
        if (dFactor * dPower >= dRaw)
            return dFactor * dPower;
    return 10.0 * dPower;
}

// The finite extremes of n samples, both infinite when none is finite. Comparisons skip NaN on
// their own, which lets the common case run without a test per sample.
void _extremes(const double* pSamples, std::int64_t n, double& dLow, double& dHigh) {
    double dLo = INFINITY, dHi = -INFINITY;
    for (std::int64_t k = 0; k < n; ++k) {
        const double d = pSamples[k];
        dLo = d < dLo ? d : dLo;
        dHi = d > dHi ? d : dHi;
    }
    if (std::isinf(dLo) || std::isinf(dHi)) {
        dLo = INFINITY;
        dHi = -INFINITY;
        for (std::int64_t k = 0; k < n; ++k)
            if (std::isfinite(pSamples[k])) {
                dLo = std::min(dLo, pSamples[k]);
                dHi = std::max(dHi, pSamples[k]);
            }
    }
    dLow = std::min(dLow, dLo);
    dHigh = std::max(dHigh, dHi);
}

std::vector<double> _ticks(double dLow, double dHigh, int nWanted) {
    std::vector<double> aTicks;
    if (!(dHigh > dLow))
        return aTicks;
    const double dStep = _tickStep(dHigh - dLow, nWanted);
    for (double d = std::ceil(dLow / dStep) * dStep; d <= dHigh + dStep * 1e-9; d += dStep)
        aTicks.push_back(std::fabs(d) < dStep * 1e-9 ? 0.0 : d);
    return aTicks;
}

} // namespace

CButterflyPlot::CButterflyPlot(QWidget* pParent) : QWidget(pParent) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor CButterflyPlot::highlightColor() {
    return QColor(230, 80, 0);
}

void CButterflyPlot::setRecording(CMEGDataqv* pRecording) {
    m_pRecording = pRecording;
    m_pPaged = dynamic_cast<CPagedRecording*>(pRecording);
    m_aMarks = m_pPaged ? collectMarks(*m_pPaged) : std::vector<SRecordingMark>();
    m_nOffset = m_pPaged ? m_pPaged->getPageFirst() : 0;
    m_aTraces.clear();
    m_nSamples = 0;
    m_dMin = -1.0;
    m_dMax = 1.0;
    CMDTrialqv* pTrial = pRecording ? pRecording->getTrialqv(-1) : nullptr;
    if (pTrial) {
        m_nSamples = pTrial->getSampleCount();
        CMDChannelqv** ppChannels = pTrial->getAllChannelPt();
        double dLow = INFINITY, dHigh = -INFINITY;
        for (int i = 0; i < pTrial->getTotalChannel(); ++i) {
            CMDChannelqv* pChannel = ppChannels[i];
            if (!pChannel || !pChannel->isMEGMeasureChannel() || !pChannel->getDataWave() ||
                pChannel->getSampleCount() < m_nSamples)
                continue;
            const double* pSamples = pChannel->getDataWave();
            m_aTraces.push_back({i, pSamples, pRecording->isGoodChnl4Alltrials(i) != 0});
            _extremes(pSamples, m_nSamples, dLow, dHigh);
        }
        if (dHigh > dLow) {
            const double dPad = 0.05 * (dHigh - dLow);
            m_dMin = dLow - dPad;
            m_dMax = dHigh + dPad;
        } else if (std::isfinite(dLow)) {
            m_dMin = dLow - 1.0;
            m_dMax = dLow + 1.0;
        }
    }
    const auto [nLow, nHigh] = _cursorBounds();
    m_nCursor = std::clamp<std::int64_t>(m_nCursor, nLow, nHigh);
    m_bBackgroundValid = false;
    update();
}

std::pair<std::int64_t, std::int64_t> CButterflyPlot::_cursorBounds() const {
    if (m_pPaged)
        return {m_pPaged->getStoredFirst(),
                std::max(m_pPaged->getStoredFirst(), m_pPaged->getStoredEnd() - 1)};
    return {0, std::max<std::int64_t>(0, m_nSamples - 1)};
}

void CButterflyPlot::setCursorSample(std::int64_t nSample) {
    const auto [nLow, nHigh] = _cursorBounds();
    nSample = std::clamp<std::int64_t>(nSample, nLow, nHigh);
    if (nSample == m_nCursor)
        return;
    m_nCursor = nSample;
    update();
}

void CButterflyPlot::setHighlightedChannel(int nSlot) {
    if (nSlot == m_nHighlight)
        return;
    m_nHighlight = nSlot;
    m_bBackgroundValid = false;
    update();
}

QRect CButterflyPlot::_plotArea() const {
    return QRect(nMarginLeft, nMarginTop, std::max(1, width() - nMarginLeft - nMarginRight),
                 std::max(1, height() - nMarginTop - nMarginBottom));
}

double CButterflyPlot::sampleToX(double dSample) const {
    const QRect area = _plotArea();
    const double dLast = static_cast<double>(std::max<std::int64_t>(1, m_nSamples - 1));
    return area.left() + (dSample - static_cast<double>(m_nOffset)) / dLast * (area.width() - 1);
}

std::int64_t CButterflyPlot::xToSample(double x) const {
    if (m_nSamples < 1)
        return 0;
    const QRect area = _plotArea();
    const double dLast = static_cast<double>(m_nSamples - 1);
    const double dSample = (x - area.left()) / std::max(1, area.width() - 1) * dLast;
    return m_nOffset + std::clamp<std::int64_t>(std::llround(dSample), 0, m_nSamples - 1);
}

double CButterflyPlot::_valueToY(double dValue) const {
    const QRect area = _plotArea();
    return area.bottom() - (dValue - m_dMin) / (m_dMax - m_dMin) * (area.height() - 1);
}

void CButterflyPlot::_drawTrialAxis(QPainter& painter, const QRect& area) {
    const QColor grid(225, 225, 225);
    const QColor text = palette().color(QPalette::WindowText);
    const QFontMetrics metrics = painter.fontMetrics();
    // Time axis in ms when the recording has a sampling rate, else in samples.
    double dFirst = 0.0, dLast = static_cast<double>(std::max<std::int64_t>(0, m_nSamples - 1));
    const bool bMs = m_pRecording && sampleTimeMs(*m_pRecording, 0.0, dFirst) &&
                     sampleTimeMs(*m_pRecording, dLast, dLast);
    if (!bMs) {
        // A page of a long recording without a sampling rate counts the recording's samples.
        dFirst = static_cast<double>(m_nOffset);
        dLast += static_cast<double>(m_nOffset);
    }
    for (double dTick : _ticks(dFirst, dLast, std::max(2, area.width() / 90))) {
        const double dSample = (dTick - dFirst) / (dLast > dFirst ? dLast - dFirst : 1.0) *
                               static_cast<double>(std::max<std::int64_t>(1, m_nSamples - 1));
        const int x =
            static_cast<int>(std::lround(sampleToX(static_cast<double>(m_nOffset) + dSample)));
        painter.setPen(grid);
        painter.drawLine(x, area.top(), x, area.bottom());
        painter.setPen(text);
        painter.drawLine(x, area.bottom(), x, area.bottom() + 4);
        const QString strLabel = QString::number(dTick, 'g', 6);
        painter.drawText(x - metrics.horizontalAdvance(strLabel) / 2,
                         area.bottom() + 6 + metrics.ascent(), strLabel);
    }
    const QString strX = bMs ? "time (ms)" : "sample";
    painter.drawText(area.center().x() - metrics.horizontalAdvance(strX) / 2,
                     height() - metrics.descent() - 2, strX);
}

// A page of a long recording: its times within the recording, in seconds or minutes.
void CButterflyPlot::_drawTimeAxis(QPainter& painter, const QRect& area) {
    const QColor grid(225, 225, 225);
    const QColor text = palette().color(QPalette::WindowText);
    const QFontMetrics metrics = painter.fontMetrics();
    const double dRate = m_pRecording->getSamplingRate();
    const double dFirst = m_pRecording->getFirstSampleTime();
    const double dLast =
        dFirst + static_cast<double>(std::max<std::int64_t>(1, m_nSamples - 1)) / dRate;
    const bool bMinutes = timeaxis::usesMinutes(m_pPaged->getTotalSamples() / dRate);
    const int nWanted = std::max(2, area.width() / 110);
    const int nDecimals = timeaxis::tickDecimals(dFirst, dLast, nWanted, bMinutes);
    for (double dTick : timeaxis::ticks(dFirst, dLast, nWanted, bMinutes)) {
        const int x = static_cast<int>(
            std::lround(sampleToX(static_cast<double>(m_nOffset) + (dTick - dFirst) * dRate)));
        painter.setPen(grid);
        painter.drawLine(x, area.top(), x, area.bottom());
        painter.setPen(text);
        painter.drawLine(x, area.bottom(), x, area.bottom() + 4);
        const QString strLabel = timeaxis::text(dTick, bMinutes, nDecimals);
        painter.drawText(x - metrics.horizontalAdvance(strLabel) / 2,
                         area.bottom() + 6 + metrics.ascent(), strLabel);
    }
    painter.setPen(text);
    const QString strX = bMinutes ? "time (min:s)" : "time (s)";
    painter.drawText(area.center().x() - metrics.horizontalAdvance(strX) / 2,
                     height() - metrics.descent() - 2, strX);
}

// Marked spans are shaded under the traces, events drawn as lines with their code on top.
void CButterflyPlot::_drawMarks(QPainter& painter, const QRect& area) {
    const std::int64_t nEnd = m_nOffset + m_nSamples;
    for (const SRecordingMark& mark : m_aMarks) {
        if (mark.nSample >= nEnd ||
            mark.nSample + std::max<std::int64_t>(1, mark.nSamples) <= m_nOffset)
            continue;
        const double x = sampleToX(static_cast<double>(mark.nSample));
        if (mark.nSamples > 0) {
            const double xEnd = sampleToX(static_cast<double>(mark.nSample + mark.nSamples));
            const double xLeft = std::max<double>(x, area.left());
            const double xRight = std::min<double>(xEnd, area.right());
            painter.fillRect(
                QRectF(xLeft, area.top(), std::max(1.0, xRight - xLeft), area.height()),
                SRecordingMark::fillColor(mark.nKind));
            painter.setPen(SRecordingMark::lineColor(mark.nKind));
            if (x >= area.left())
                painter.drawText(QPointF(x + 3, area.top() + painter.fontMetrics().ascent() + 2),
                                 mark.strText);
            continue;
        }
        painter.setPen(QPen(SRecordingMark::lineColor(mark.nKind), 1.0, Qt::DashLine));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        painter.drawText(QPointF(x + 3, area.top() + painter.fontMetrics().ascent() + 2),
                         mark.strText.section(' ', -1));
    }
}

void CButterflyPlot::_drawAxes(QPainter& painter, const QRect& area) {
    const QColor grid(225, 225, 225);
    const QColor text = palette().color(QPalette::WindowText);
    const QFontMetrics metrics = painter.fontMetrics();

    if (m_pPaged && m_pRecording->getSamplingRate() > 0.0)
        _drawTimeAxis(painter, area);
    else
        _drawTrialAxis(painter, area);

    for (double dTick : _ticks(m_dMin, m_dMax, std::max(2, area.height() / 50))) {
        const int y = static_cast<int>(std::lround(_valueToY(dTick)));
        painter.setPen(dTick == 0.0 ? QColor(190, 190, 190) : grid);
        painter.drawLine(area.left(), y, area.right(), y);
        painter.setPen(text);
        painter.drawLine(area.left() - 4, y, area.left(), y);
        const QString strLabel = QString::number(dTick, 'g', 6);
        painter.drawText(area.left() - 6 - metrics.horizontalAdvance(strLabel),
                         y + metrics.ascent() / 2 - 1, strLabel);
    }
    painter.save();
    painter.translate(metrics.height() - 2, area.center().y());
    painter.rotate(-90.0);
    const QString strY = valueAxisTitle();
    painter.drawText(-metrics.horizontalAdvance(strY) / 2, 0, strY);
    painter.restore();

    painter.setPen(text);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
}

QString CButterflyPlot::valueAxisTitle() const {
    return QString("field (%1)")
        .arg(QString::fromStdString(m_pRecording ? m_pRecording->getUnit() : "fT"));
}

void CButterflyPlot::_drawTrace(QPainter& painter, const STrace& trace, const QRect& area) {
    // With more samples than pixel columns each column keeps its lowest and highest value, so
    // short peaks stay visible; missing values break the line.
    const std::int64_t nColumns = std::max(1, area.width());
    const bool bDecimate = m_nSamples > 2 * nColumns;
    QPainterPath path;
    bool bInLine = false;
    const auto addPoint = [&](double dSample, double dValue) {
        const QPointF point(sampleToX(static_cast<double>(m_nOffset) + dSample), _valueToY(dValue));
        if (bInLine)
            path.lineTo(point);
        else
            path.moveTo(point);
        bInLine = true;
    };
    if (!bDecimate) {
        for (std::int64_t s = 0; s < m_nSamples; ++s) {
            if (std::isfinite(trace.pSamples[s]))
                addPoint(static_cast<double>(s), trace.pSamples[s]);
            else
                bInLine = false;
        }
    } else {
        for (std::int64_t c = 0; c < nColumns; ++c) {
            const std::int64_t nBegin = c * m_nSamples / nColumns;
            const std::int64_t nEnd = (c + 1) * m_nSamples / nColumns;
            double dLow = INFINITY, dHigh = -INFINITY;
            for (std::int64_t s = nBegin; s < nEnd; ++s)
                if (std::isfinite(trace.pSamples[s])) {
                    dLow = std::min(dLow, trace.pSamples[s]);
                    dHigh = std::max(dHigh, trace.pSamples[s]);
                }
            if (!std::isfinite(dLow)) {
                bInLine = false;
                continue;
            }
            const double dMid = 0.5 * static_cast<double>(nBegin + nEnd - 1);
            addPoint(dMid, dLow);
            addPoint(dMid, dHigh);
        }
    }
    painter.drawPath(path);
}

// Hundreds of channels of a long page are too many paths for the painter to stroke at once:
// each column of each trace becomes the run of pixels between its lowest and highest value
// (joined to the column before), and the runs are counted per pixel. A pixel crossed n times
// takes the colour that n strokes of the translucent trace colour would give it, bad channels
// lie under the good ones.
void CButterflyPlot::_drawTraceColumns(QPainter& painter, const QRect& area) {
    const int nWidth = std::max(1, area.width());
    const int nHeight = std::max(1, area.height());
    // A run adds one at its top row and takes it off below its bottom row; summing down each
    // column then gives every pixel's count, at a cost that does not grow with the runs' length.
    const std::size_t nStride = static_cast<std::size_t>(nHeight) + 1;
    std::vector<std::int32_t> aGood(static_cast<std::size_t>(nWidth) * nStride, 0);
    std::vector<std::int32_t> aBad(aGood.size(), 0);
    const auto rowOf = [&](double dValue) {
        return std::clamp(static_cast<int>(std::floor(_valueToY(dValue) + 0.5)) - area.top(), 0,
                          nHeight - 1);
    };
    for (const STrace& trace : m_aTraces) {
        if (trace.nSlot == m_nHighlight)
            continue;
        std::vector<std::int32_t>& aCounts = trace.bGood ? aGood : aBad;
        int nPrevTop = -1, nPrevBottom = -1;
        for (int c = 0; c < nWidth; ++c) {
            const std::int64_t nBegin = c * m_nSamples / nWidth;
            const std::int64_t nEnd = std::max(nBegin + 1, (c + 1) * m_nSamples / nWidth);
            double dLow = INFINITY, dHigh = -INFINITY;
            _extremes(trace.pSamples + nBegin, std::min(nEnd, m_nSamples) - nBegin, dLow, dHigh);
            if (!std::isfinite(dLow)) {
                nPrevTop = -1; // missing values break the line
                continue;
            }
            const int nHighRow = rowOf(dHigh), nLowRow = rowOf(dLow);
            int nTop = nHighRow, nBottom = nLowRow;
            if (nPrevTop >= 0) {
                nTop = std::min(nTop, nPrevBottom);
                nBottom = std::max(nBottom, nPrevTop);
            }
            nPrevTop = nHighRow;
            nPrevBottom = nLowRow;
            const std::size_t nColumn = static_cast<std::size_t>(c) * nStride;
            ++aCounts[nColumn + nTop];
            --aCounts[nColumn + nBottom + 1];
        }
    }
    // n strokes of the translucent trace colour over a bad channel's grey, or over nothing.
    const double dAlpha = 110.0 / 255.0;
    QRgb aColor[2][256];
    for (int nUnder = 0; nUnder < 2; ++nUnder)
        for (int n = 0; n < 256; ++n) {
            const double dCover = 1.0 - std::pow(1.0 - dAlpha, n);
            const double dGrey = nUnder ? 170.0 * (1.0 - dCover) : 0.0;
            const double dOut = nUnder ? 1.0 : dCover;
            aColor[nUnder][n] = qRgba(static_cast<int>(40.0 * dCover + dGrey),
                                      static_cast<int>(80.0 * dCover + dGrey),
                                      static_cast<int>(150.0 * dCover + dGrey),
                                      static_cast<int>(std::lround(255.0 * dOut)));
        }
    QImage image(nWidth, nHeight, QImage::Format_ARGB32_Premultiplied);
    auto* pPixels = reinterpret_cast<QRgb*>(image.bits());
    const auto nLine = static_cast<std::size_t>(image.bytesPerLine() / sizeof(QRgb));
    for (int x = 0; x < nWidth; ++x) {
        std::int32_t nGood = 0, nBad = 0;
        for (int y = 0; y < nHeight; ++y) {
            nGood += aGood[x * nStride + y];
            nBad += aBad[x * nStride + y];
            pPixels[y * nLine + x] = aColor[nBad > 0 ? 1 : 0][std::clamp(nGood, 0, 255)];
        }
    }
    painter.drawImage(area.topLeft(), image);
}

void CButterflyPlot::_renderBackground() {
    const qreal dScale = devicePixelRatioF();
    // Kept while the size stays: a long recording's pages are drawn again and again.
    if (m_background.size() != size() * dScale) {
        m_background = QPixmap(size() * dScale);
        m_background.setDevicePixelRatio(dScale);
    }
    m_background.fill(palette().color(QPalette::Window));
    QPainter painter(&m_background);
    const QRect area = _plotArea();
    painter.fillRect(area, Qt::white);
    _drawAxes(painter, area);
    if (!m_aMarks.empty())
        _drawMarks(painter, area);

    painter.setClipRect(area.adjusted(1, 1, -1, -1));
    painter.setBrush(Qt::NoBrush);
    const STrace* pHighlighted = nullptr;
    // A page of a long recording has more samples than columns: it is drawn column by column.
    const bool bColumns = m_pPaged && m_nSamples > 2 * std::max(1, area.width());
    if (bColumns)
        _drawTraceColumns(painter, area);
    for (const STrace& trace : m_aTraces) {
        if (trace.nSlot == m_nHighlight) {
            pHighlighted = &trace;
            continue;
        }
        if (bColumns)
            continue;
        // Bad channels stay visible but recede.
        painter.setPen(QPen(trace.bGood ? QColor(40, 80, 150, 110) : QColor(170, 170, 170), 1.0));
        _drawTrace(painter, trace, area);
    }
    if (pHighlighted) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(highlightColor(), 2.5));
        _drawTrace(painter, *pHighlighted, area);
    }
    m_bBackgroundValid = true;
}

void CButterflyPlot::paintEvent(QPaintEvent*) {
    if (!m_bBackgroundValid || m_background.size() != size() * devicePixelRatioF())
        _renderBackground();
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
    if (m_nSamples < 1) {
        painter.drawText(_plotArea(), Qt::AlignCenter, "no MEG samples to plot");
        return;
    }
    const QRect area = _plotArea();
    const int x = static_cast<int>(std::lround(sampleToX(static_cast<double>(m_nCursor))));
    painter.setPen(QPen(QColor(200, 0, 0), 1.0));
    painter.drawLine(x, area.top(), x, area.bottom());
    const QString strLabel = m_pRecording ? sampleLabel(*m_pRecording, m_nCursor) : QString();
    const int nWidth = painter.fontMetrics().horizontalAdvance(strLabel);
    const int nLabelX = std::clamp(x - nWidth / 2, 0, std::max(0, width() - nWidth));
    painter.drawText(nLabelX, area.top() - 6, strLabel);
}

void CButterflyPlot::resizeEvent(QResizeEvent* pEvent) {
    m_bBackgroundValid = false;
    QWidget::resizeEvent(pEvent);
}

void CButterflyPlot::_moveCursorByUser(std::int64_t nSample) {
    if (m_nSamples < 1)
        return;
    const auto [nLow, nHigh] = _cursorBounds();
    nSample = std::clamp<std::int64_t>(nSample, nLow, nHigh);
    if (nSample == m_nCursor)
        return;
    setCursorSample(nSample);
    emit cursorMoved(nSample);
}

void CButterflyPlot::mousePressEvent(QMouseEvent* pEvent) {
    if (pEvent->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(pEvent);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    _moveCursorByUser(xToSample(pEvent->position().x()));
}

void CButterflyPlot::mouseMoveEvent(QMouseEvent* pEvent) {
    if (pEvent->buttons() & Qt::LeftButton)
        _moveCursorByUser(xToSample(pEvent->position().x()));
}

void CButterflyPlot::keyPressEvent(QKeyEvent* pEvent) {
    // Ctrl with an arrow is the host's (to the next event); Shift takes ten samples at a time.
    if (pEvent->modifiers() & Qt::ControlModifier) {
        QWidget::keyPressEvent(pEvent);
        return;
    }
    const std::int64_t nStep = (pEvent->modifiers() & Qt::ShiftModifier) ? 10 : 1;
    switch (pEvent->key()) {
    case Qt::Key_Left:
        _moveCursorByUser(m_nCursor - nStep);
        break;
    case Qt::Key_Right:
        _moveCursorByUser(m_nCursor + nStep);
        break;
    case Qt::Key_Home:
        _moveCursorByUser(_cursorBounds().first);
        break;
    case Qt::Key_End:
        _moveCursorByUser(_cursorBounds().second);
        break;
    default:
        QWidget::keyPressEvent(pEvent);
    }
}
