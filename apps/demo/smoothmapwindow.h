#pragma once

#include "colorscale.h"
#include "glofflinecontext.h"
#include "show3dcntmap.h"
#include "smoothfieldmap.h"

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <string>

class CMEGDataqv;
class QComboBox;
class QSpinBox;

// The picture of the smooth field map: drawn into an offscreen context of the widget's size and
// painted onto it with the camera's overlay. The mouse works as in the map dialogs' Rotate and
// Zoom modes: dragging with the left button turns the head, with the right button (or Shift)
// moves the camera nearer or away; the wheel zooms too. A left click picks the sensor under it.
class CSmoothMapPicture : public QWidget {
    Q_OBJECT
public:
    // Pixels the pointer may move between press and release for a click, not a drag.
    enum { nClickSlop = 3 };
    // Millimetres the camera moves per notch of the wheel.
    enum { nWheelStepMm = 25 };

    CSmoothMapPicture(CShow3DCntMapqv& map, CSmoothFieldMap& smooth, QWidget* pParent = nullptr);

    // Whether the picture draws the smooth map as the window last updated it, or nothing (a
    // recording the renderer could not load).
    void setLoaded(bool bLoaded);

    // Null before the first paint, and when no context could be made.
    CGL4dqv* getViewport() { return m_context.viewport(); }
    // The line the picture shows instead of a map; empty while it shows one.
    const QString& getMessage() const { return m_strMessage; }
    // The overlay's lines, as the map dialogs write them.
    QStringList overlayLines();

signals:
    // A click met the surface; the slot of the sensor nearest to it.
    void sensorPicked(int nSlot);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;

private:
    // Opens the context the first time and follows the widget's size; false with the reason in
    // m_strMessage.
    bool _prepareContext();
    // A drag from the last point to pt, once the pointer has left the click's slop.
    void _dragTo(const QPoint& pt);

    CShow3DCntMapqv& m_map;
    CSmoothFieldMap& m_smooth;
    bool m_bLoaded = false;
    CGLOfflineContextqv m_context;
    // Why no context could be made. It is tried again when the picture is shown again, not on
    // every paint.
    QString m_strContextError;
    QString m_strMessage;

    Qt::MouseButton m_nButton = Qt::NoButton;
    bool m_bZoomDrag = false;
    bool m_bDragging = false;
    QPoint m_ptPress;
    QPoint m_ptLast;
};

// A top-level window with the smooth field map of the host's recording: the map kind, the
// colour scale and the isoline count to choose, and the picture. It keeps a renderer of its own,
// loaded and range checked as the map views do, from which the smooth map takes its values and
// thresholds.
class CSmoothMapWindow : public QWidget {
    Q_OBJECT
public:
    explicit CSmoothMapWindow(QWidget* pParent = nullptr);

    // The recording stays the caller's and must outlive its use here; null shows nothing. While
    // shown, the map is loaded again at once.
    void setRecording(CMEGDataqv* pRecording);
    // A selection of nKind changed in the recording: while shown with that kind, range check and
    // repaint.
    void selectionChanged(SMapKinds::EMapKind nKind);
    // The current channel changed: its mark moves.
    void currentChannelChanged();

    SMapKinds::EMapKind getKind() const;
    // The scale the map is drawn in and its unit; false while nothing is drawn.
    bool getColorBar(CColorScale& scale, std::string& strUnit) const;

    QComboBox* getKindBox() const { return m_pKindBox; }
    QComboBox* getColorBox() const { return m_pColorBox; }
    QSpinBox* getIsolineSpin() const { return m_pIsolineSpin; }
    CSmoothMapPicture* getPicture() const { return m_pPicture; }
    const CShow3DCntMapqv& getRenderer() const { return m_map; }
    const CSmoothFieldMap& getSmoothMap() const { return m_smooth; }

signals:
    void sensorPicked(int nSlot);
    // The colour bar changed, or the window was shown or hidden.
    void colorBarChanged();

protected:
    void showEvent(QShowEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;

private:
    // Load and range check for the chosen kind, then _refresh.
    void _reload();
    // The smooth map's values from the renderer, once per change of the renderer: the picture's
    // paints draw what this took.
    void _update();
    // _update, then the colour bar and the picture.
    void _refresh();

    CMEGDataqv* m_pRecording = nullptr;
    CShow3DCntMapqv m_map;
    CSmoothFieldMap m_smooth;
    // The current channel is always marked: a click here makes it the picked one.
    int m_bMarkSelection = 1;
    bool m_bLoaded = false;
    bool m_bHasSurface = false;

    QComboBox* m_pKindBox = nullptr;
    QComboBox* m_pColorBox = nullptr;
    QSpinBox* m_pIsolineSpin = nullptr;
    CSmoothMapPicture* m_pPicture = nullptr;
};
