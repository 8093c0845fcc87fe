#pragma once

#include "recordingmarks.h"

#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <utility>
#include <vector>

class CMEGDataqv;
class CPagedRecording;

// All MEG measuring channels of a recording over time in one plot, with a time cursor the user
// drags with the mouse or steps with the arrow keys, and one channel that can be highlighted.
// Of a long recording the plot shows the current page, with its events and marked spans; its
// cursor and sample positions are then recording samples, and the keys may move the cursor
// past the page, for the host to turn it.
class CButterflyPlot : public QWidget {
    Q_OBJECT
public:
    explicit CButterflyPlot(QWidget* pParent = nullptr);

    // Plots the measuring channels of the recording's current trial; null empties the plot.
    // The plot reads the samples in place, so the recording must stay alive while it is shown,
    // and be set again when a long recording turns its page.
    void setRecording(CMEGDataqv* pRecording);
    int getPlottedChannelCount() const { return static_cast<int>(m_aTraces.size()); }

    // Moves the cursor without emitting cursorMoved; clamped to the samples (of a long
    // recording to those written).
    void setCursorSample(std::int64_t nSample);
    std::int64_t getCursorSample() const { return m_nCursor; }

    // A slot index, or -1 for none; a slot that is not plotted highlights nothing.
    void setHighlightedChannel(int nSlot);
    int getHighlightedChannel() const { return m_nHighlight; }

    // The title of the value axis, with the recording's unit ("field (fT/cm)").
    QString valueAxisTitle() const;

    // The highlighted trace's colour, so that a look at the pixels can find it.
    static QColor highlightColor();
    // Horizontal position of a sample in widget coordinates, and the sample nearest to x (on
    // the page, for a long recording).
    double sampleToX(double dSample) const;
    std::int64_t xToSample(double x) const;

signals:
    // The user moved the cursor (mouse or keys).
    void cursorMoved(qint64 nSample);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    struct STrace {
        int nSlot;
        const double* pSamples;
        bool bGood;
    };

    QRect _plotArea() const;
    // The samples the cursor may reach: the trial's, or what a long recording has written.
    std::pair<std::int64_t, std::int64_t> _cursorBounds() const;
    void _drawTrialAxis(QPainter& painter, const QRect& area);
    void _drawTimeAxis(QPainter& painter, const QRect& area);
    void _drawMarks(QPainter& painter, const QRect& area);
    double _valueToY(double dValue) const;
    // Axes and traces change only with the recording, the size or the highlight; the cursor
    // moves far more often, so everything under it is kept as a picture.
    void _renderBackground();
    void _drawAxes(QPainter& painter, const QRect& area);
    void _drawTrace(QPainter& painter, const STrace& trace, const QRect& area);
    void _drawTraceColumns(QPainter& painter, const QRect& area);
    void _moveCursorByUser(std::int64_t nSample);

    CMEGDataqv* m_pRecording = nullptr;
    CPagedRecording* m_pPaged = nullptr;
    std::vector<SRecordingMark> m_aMarks;
    std::vector<STrace> m_aTraces;
    std::int64_t m_nSamples = 0;
    std::int64_t m_nOffset = 0; // recording sample of the trial's first
    double m_dMin = -1.0;
    double m_dMax = 1.0;
    std::int64_t m_nCursor = 0;
    int m_nHighlight = -1;
    QPixmap m_background;
    bool m_bBackgroundValid = false;
};
