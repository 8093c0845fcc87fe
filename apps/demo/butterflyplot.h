#pragma once

#include <QPixmap>
#include <QWidget>

#include <cstdint>
#include <vector>

class CMEGDataqv;

// All MEG measuring channels of a recording over time in one plot, with a time cursor the user
// drags with the mouse or steps with the arrow keys, and one channel that can be highlighted.
class CButterflyPlot : public QWidget {
    Q_OBJECT
public:
    explicit CButterflyPlot(QWidget* pParent = nullptr);

    // Plots the measuring channels of the recording's current trial; null empties the plot.
    // The plot reads the samples in place, so the recording must stay alive while it is shown.
    void setRecording(CMEGDataqv* pRecording);
    int getPlottedChannelCount() const { return static_cast<int>(m_aTraces.size()); }

    // Moves the cursor without emitting cursorMoved; clamped to the samples.
    void setCursorSample(std::int64_t nSample);
    std::int64_t getCursorSample() const { return m_nCursor; }

    // A slot index, or -1 for none; a slot that is not plotted highlights nothing.
    void setHighlightedChannel(int nSlot);
    int getHighlightedChannel() const { return m_nHighlight; }

    // The title of the value axis, with the recording's unit ("field (fT/cm)").
    QString valueAxisTitle() const;

    // The highlighted trace's colour, so that a look at the pixels can find it.
    static QColor highlightColor();
    // Horizontal position of a sample in widget coordinates, and the sample nearest to x.
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
    double _valueToY(double dValue) const;
    // Axes and traces change only with the recording, the size or the highlight; the cursor
    // moves far more often, so everything under it is kept as a picture.
    void _renderBackground();
    void _drawAxes(QPainter& painter, const QRect& area);
    void _drawTrace(QPainter& painter, const STrace& trace, const QRect& area);
    void _moveCursorByUser(std::int64_t nSample);

    CMEGDataqv* m_pRecording = nullptr;
    std::vector<STrace> m_aTraces;
    std::int64_t m_nSamples = 0;
    double m_dMin = -1.0;
    double m_dMax = 1.0;
    std::int64_t m_nCursor = 0;
    int m_nHighlight = -1;
    QPixmap m_background;
    bool m_bBackgroundValid = false;
};
