#pragma once

#include "recordingmarks.h"

#include <QWidget>

#include <cstdint>
#include <vector>

class CPagedRecording;

// The whole of a long recording in one strip: its global field power, the events and marked
// spans, the page the plot shows and the time cursor. A click or a drag asks to go there.
// While the recording is still being converted the strip shows how far the store is written,
// and the field power only once the conversion has computed it.
class COverviewStrip : public QWidget {
    Q_OBJECT
public:
    explicit COverviewStrip(QWidget* pParent = nullptr);

    // Null empties the strip; the recording must stay alive while it is shown.
    void setRecording(CPagedRecording* pRecording);
    // Repaints after the page, the cursor or the written part of the store changed.
    void refresh();

    // Horizontal position of a recording sample, and the written sample nearest to x.
    double sampleToX(double dSample) const;
    std::int64_t xToSample(double x) const;
    QRect stripArea() const;

signals:
    void jumpRequested(qint64 nSample);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;

private:
    void _drawPower(QPainter& painter, const QRect& area);
    void _drawTimeAxis(QPainter& painter, const QRect& area);

    CPagedRecording* m_pRecording = nullptr;
    std::vector<SRecordingMark> m_aMarks;
    float m_fPowerMax = 0.0f;
};
