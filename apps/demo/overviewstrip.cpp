#include "overviewstrip.h"

#include "timeaxis.h"

#include "pagedrecording.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

const int nMarginLeft = 70; // lined up with the butterfly plot above
const int nMarginRight = 16;
const int nMarginTop = 4;
const int nAxisHeight = 18;

} // namespace

COverviewStrip::COverviewStrip(QWidget* pParent) : QWidget(pParent) {
    setMinimumHeight(72);
    setMaximumHeight(72);
    setCursor(Qt::PointingHandCursor);
    setToolTip("The whole recording: global field power, events and marked spans; the shaded "
               "box is the page shown above. Click to go there.");
}

void COverviewStrip::setRecording(CPagedRecording* pRecording) {
    m_pRecording = pRecording;
    m_aMarks = pRecording ? collectMarks(*pRecording) : std::vector<SRecordingMark>();
    m_fPowerMax = 0.0f;
    if (pRecording)
        for (float f : pRecording->getOverview())
            if (std::isfinite(f))
                m_fPowerMax = std::max(m_fPowerMax, f);
    update();
}

void COverviewStrip::refresh() {
    update();
}

QRect COverviewStrip::stripArea() const {
    return QRect(nMarginLeft, nMarginTop, std::max(1, width() - nMarginLeft - nMarginRight),
                 std::max(1, height() - nMarginTop - nAxisHeight));
}

double COverviewStrip::sampleToX(double dSample) const {
    const QRect area = stripArea();
    const double dTotal =
        m_pRecording
            ? static_cast<double>(std::max<std::int64_t>(1, m_pRecording->getTotalSamples()))
            : 1.0;
    return area.left() + dSample / dTotal * area.width();
}

std::int64_t COverviewStrip::xToSample(double x) const {
    if (!m_pRecording || m_pRecording->getStoredEnd() <= m_pRecording->getStoredFirst())
        return 0;
    const QRect area = stripArea();
    const double dSample =
        (x - area.left()) / area.width() * static_cast<double>(m_pRecording->getTotalSamples());
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor(dSample)),
                                    m_pRecording->getStoredFirst(),
                                    m_pRecording->getStoredEnd() - 1);
}

void COverviewStrip::_drawPower(QPainter& painter, const QRect& area) {
    const std::vector<float>& aPower = m_pRecording->getOverview();
    const double dRate = m_pRecording->getOverviewRate();
    const double dSampling = m_pRecording->getSamplingRate();
    if (aPower.empty() || !(dRate > 0.0) || !(dSampling > 0.0) || !(m_fPowerMax > 0.0f))
        return;
    // Each pixel column shows the largest value of its span, so that short transients stay.
    const double dPerPixel = static_cast<double>(m_pRecording->getTotalSamples()) /
                             std::max(1, area.width()) / dSampling * dRate;
    QPainterPath path;
    path.moveTo(area.left(), area.bottom());
    for (int c = 0; c < area.width(); ++c) {
        const auto nBegin = static_cast<std::size_t>(std::floor(c * dPerPixel));
        const auto nEnd =
            std::max(nBegin + 1, static_cast<std::size_t>(std::floor((c + 1) * dPerPixel)));
        float fMax = 0.0f;
        for (std::size_t k = nBegin; k < nEnd && k < aPower.size(); ++k)
            if (std::isfinite(aPower[k]))
                fMax = std::max(fMax, aPower[k]);
        path.lineTo(area.left() + c, area.bottom() - fMax / m_fPowerMax * (area.height() - 2));
    }
    path.lineTo(area.right(), area.bottom());
    path.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 80, 150, 150));
    painter.drawPath(path);
}

void COverviewStrip::_drawTimeAxis(QPainter& painter, const QRect& area) {
    const double dRate = m_pRecording->getSamplingRate();
    if (!(dRate > 0.0))
        return;
    const double dFirst = m_pRecording->getRecordingFirstTime();
    const double dLast = dFirst + m_pRecording->getTotalSamples() / dRate;
    const bool bMinutes = timeaxis::usesMinutes(dLast - dFirst);
    const int nWanted = std::max(2, area.width() / 110);
    const int nDecimals = timeaxis::tickDecimals(dFirst, dLast, nWanted, bMinutes);
    const QFontMetrics metrics = painter.fontMetrics();
    painter.setPen(palette().color(QPalette::WindowText));
    for (double dTick : timeaxis::ticks(dFirst, dLast, nWanted, bMinutes)) {
        const int x = static_cast<int>(std::lround(sampleToX((dTick - dFirst) * dRate)));
        painter.drawLine(x, area.bottom(), x, area.bottom() + 3);
        const QString strLabel = timeaxis::text(dTick, bMinutes, nDecimals);
        const int nWidth = metrics.horizontalAdvance(strLabel);
        painter.drawText(std::clamp(x - nWidth / 2, 0, std::max(0, width() - nWidth)),
                         area.bottom() + 4 + metrics.ascent(), strLabel);
    }
}

void COverviewStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    const QRect area = stripArea();
    painter.fillRect(area, Qt::white);
    if (!m_pRecording || m_pRecording->getTotalSamples() < 1) {
        painter.drawRect(area.adjusted(0, 0, -1, -1));
        return;
    }
    const auto xOf = [this](std::int64_t nSample) {
        return static_cast<int>(std::lround(sampleToX(static_cast<double>(nSample))));
    };
    // What is not converted yet is hatched; the field power arrives with the conversion's end.
    const int xStoredBegin = xOf(m_pRecording->getStoredFirst());
    const int xStoredEnd = xOf(m_pRecording->getStoredEnd());
    painter.fillRect(QRect(area.left(), area.top(), xStoredBegin - area.left(), area.height()),
                     QBrush(QColor(200, 200, 200), Qt::BDiagPattern));
    painter.fillRect(QRect(xStoredEnd, area.top(), area.right() - xStoredEnd + 1, area.height()),
                     QBrush(QColor(200, 200, 200), Qt::BDiagPattern));
    // The page lies under the field power, so that the power stays readable where it is.
    const int xPage = xOf(m_pRecording->getPageFirst());
    const int xPageEnd = xOf(m_pRecording->getPageFirst() + m_pRecording->getPageLength());
    const QRect page(xPage, area.top() + 1, std::max(3, xPageEnd - xPage), area.height() - 2);
    painter.fillRect(page, QColor(255, 215, 120));
    _drawPower(painter, area);

    for (const SRecordingMark& mark : m_aMarks) {
        const int x = xOf(mark.nSample);
        if (mark.nSamples > 0)
            painter.fillRect(QRect(x, area.top(),
                                   std::max(2, xOf(mark.nSample + mark.nSamples) - x),
                                   area.height()),
                             SRecordingMark::fillColor(mark.nKind));
        else {
            painter.setPen(SRecordingMark::lineColor(mark.nKind));
            painter.drawLine(x, area.top(), x, area.top() + area.height() / 4);
        }
    }

    painter.setPen(QPen(QColor(220, 140, 0), 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(page);

    const int xCursor = xOf(m_pRecording->getSelectedSample());
    painter.setPen(QPen(QColor(200, 0, 0), 1.0));
    painter.drawLine(xCursor, area.top(), xCursor, area.bottom());

    painter.setPen(palette().color(QPalette::WindowText));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    _drawTimeAxis(painter, area);
}

void COverviewStrip::mousePressEvent(QMouseEvent* pEvent) {
    if (pEvent->button() != Qt::LeftButton || !m_pRecording) {
        QWidget::mousePressEvent(pEvent);
        return;
    }
    emit jumpRequested(xToSample(pEvent->position().x()));
}

void COverviewStrip::mouseMoveEvent(QMouseEvent* pEvent) {
    if ((pEvent->buttons() & Qt::LeftButton) && m_pRecording)
        emit jumpRequested(xToSample(pEvent->position().x()));
}
