#include "smoothmapwindow.h"

#include "gl4dqv.h"
#include "glimagetarget.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <utility>

namespace {

// The map kinds the window offers, in the order of its choice box.
const std::pair<const char*, SMapKinds::EMapKind> aKindChoices[] = {
    {"Time-domain", SMapKinds::kindTime},
    {"Frequency", SMapKinds::kindFrequency},
    {"Spectral", SMapKinds::kindSpectral}};

} // namespace

CSmoothMapPicture::CSmoothMapPicture(CShow3DCntMapqv& map, CSmoothFieldMap& smooth,
                                     QWidget* pParent)
    : QWidget(pParent), m_map(map), m_smooth(smooth) {
    setMinimumSize(200, 200);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Every pixel is painted from the frame; nothing of the background shows.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CSmoothMapPicture::setLoaded(bool bLoaded) {
    m_bLoaded = bLoaded;
    update();
}

void CSmoothMapPicture::showEvent(QShowEvent* pEvent) {
    m_strContextError.clear();
    QWidget::showEvent(pEvent);
}

bool CSmoothMapPicture::_prepareContext() {
    // In device pixels, so that a high-density screen gets a sharp picture.
    const qreal dRatio = devicePixelRatioF();
    const int nWidth = std::max(1, qRound(width() * dRatio));
    const int nHeight = std::max(1, qRound(height() * dRatio));
    std::string error;
    if (!m_context.isOpen()) {
        // The viewport's camera starts where the map dialogs' does.
        if (m_strContextError.isEmpty() && !m_context.open(nWidth, nHeight, error))
            m_strContextError = QString("Smooth field map: no OpenGL context (%1).")
                                    .arg(QString::fromStdString(error));
        m_strMessage = m_strContextError;
        return m_strContextError.isEmpty();
    }
    CGLImageTargetqv* pTarget = m_context.target();
    if (pTarget->getTargetWidth() == nWidth && pTarget->getTargetHeight() == nHeight)
        return true;
    // Resized in place, so that the camera stays where the user turned it.
    pTarget->setTargetSize(nWidth, nHeight);
    if (!m_context.makeCurrent() || !m_context.viewport()->reshape(nWidth, nHeight)) {
        m_strMessage = QString("Smooth field map: the picture cannot take the window's size (%1).")
                           .arg(QString::fromStdString(m_context.getLastError()));
        return false;
    }
    return true;
}

void CSmoothMapPicture::paintEvent(QPaintEvent* /*pEvent*/) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    m_strMessage.clear();
    if (!m_bLoaded) {
        m_strMessage = "Smooth field map: no recording to draw.";
    } else if (_prepareContext()) {
        int bDrawn = 0;
        // The window updated the smooth map when the renderer changed; a paint only draws it.
        const int bFrame =
            m_context.renderFrame([this, &bDrawn] { bDrawn = m_smooth.drawUpdated(m_map); });
        CGLImageTargetqv* pTarget = m_context.target();
        if (!bFrame || !pTarget->hasFrame()) {
            m_strMessage = QString("Smooth field map: the frame could not be drawn (%1).")
                               .arg(QString::fromStdString(m_context.getLastError()));
        } else if (!bDrawn) {
            m_strMessage = QString::fromUtf8(m_smooth.getMessage());
        } else {
            // RGBX: the frame's alpha is not the picture's business.
            QImage frame(pTarget->getImage().data(), pTarget->getImageWidth(),
                         pTarget->getImageHeight(), pTarget->getImageWidth() * 4,
                         QImage::Format_RGBX8888);
            frame.setDevicePixelRatio(devicePixelRatioF());
            painter.drawImage(0, 0, frame);
        }
    }
    setToolTip(m_strMessage);
    painter.setPen(Qt::white);
    if (!m_strMessage.isEmpty()) {
        const QFontMetrics metrics(font());
        painter.drawText(rect().adjusted(8, 0, -8, 0), Qt::AlignCenter,
                         metrics.elidedText(m_strMessage, Qt::ElideRight, width() - 16));
        return;
    }
    // The dialogs' overlay: white on black in the top-left corner.
    QFont overlayFont("Arial");
    overlayFont.setPointSize(9);
    painter.setFont(overlayFont);
    const QFontMetrics metrics(overlayFont);
    int y = 0;
    for (const QString& strLine : overlayLines()) {
        const QRect box(0, y, metrics.horizontalAdvance(strLine), metrics.height());
        painter.fillRect(box, Qt::black);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, strLine);
        y += metrics.height();
    }
}

QStringList CSmoothMapPicture::overlayLines() {
    CGL4dqv* pViewport = getViewport();
    if (!pViewport)
        return {};
    double rx = 0.0, ry = 0.0, rz = 0.0, tx = 0.0, ty = 0.0, tz = 0.0;
    pViewport->getRotate(rx, ry, rz);
    pViewport->getTranslate(tx, ty, tz);
    return {QString::asprintf("Rotation: %.0f %.0f %.0f ", rx, ry, rz),
            QString::asprintf("Distance: %.0f", 0.0 - tz)};
}

void CSmoothMapPicture::mousePressEvent(QMouseEvent* pEvent) {
    if (m_nButton != Qt::NoButton ||
        (pEvent->button() != Qt::LeftButton && pEvent->button() != Qt::RightButton)) {
        QWidget::mousePressEvent(pEvent);
        return;
    }
    m_nButton = pEvent->button();
    m_bZoomDrag = m_nButton == Qt::RightButton || (pEvent->modifiers() & Qt::ShiftModifier) != 0;
    m_bDragging = false;
    m_ptPress = m_ptLast = pEvent->position().toPoint();
}

void CSmoothMapPicture::mouseMoveEvent(QMouseEvent* pEvent) {
    if (m_nButton != Qt::NoButton && (pEvent->buttons() & m_nButton))
        _dragTo(pEvent->position().toPoint());
}

void CSmoothMapPicture::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (pEvent->button() != m_nButton || m_nButton == Qt::NoButton) {
        QWidget::mouseReleaseEvent(pEvent);
        return;
    }
    const QPoint pt = pEvent->position().toPoint();
    _dragTo(pt);
    const bool bClick = !m_bDragging && m_nButton == Qt::LeftButton && !m_bZoomDrag;
    m_nButton = Qt::NoButton;
    m_bDragging = false;
    if (!bClick)
        return;
    // The frame on screen is the last one drawn, so its camera is the one to pick with.
    const QPointF ptFrame = pEvent->position() * devicePixelRatioF();
    const int nSlot = m_smooth.pickSensorInLastFrame(ptFrame.x(), ptFrame.y());
    if (nSlot >= 0 && m_strMessage.isEmpty())
        emit sensorPicked(nSlot);
}

void CSmoothMapPicture::_dragTo(const QPoint& pt) {
    if (!m_bDragging) {
        if ((pt - m_ptPress).manhattanLength() <= nClickSlop)
            return;
        m_bDragging = true;
    }
    CGL4dqv* pViewport = getViewport();
    if (!pViewport || pt == m_ptLast)
        return;
    // The map dialogs' rules: 3.6 pixels per degree; a pixel up moves the camera 1 mm away.
    if (m_bZoomDrag) {
        pViewport->addViewDistanceZ(static_cast<float>(m_ptLast.y() - pt.y()));
    } else {
        CGxyz r = pViewport->getRotateValue();
        r.x += static_cast<double>(pt.y() - m_ptLast.y()) / 3.6;
        r.y += static_cast<double>(pt.x() - m_ptLast.x()) / 3.6;
        pViewport->setRotateValue(r.x, r.y, 0.0);
        pViewport->setRotateBoolean(1, 1, 1);
    }
    m_ptLast = pt;
    update();
}

void CSmoothMapPicture::wheelEvent(QWheelEvent* pEvent) {
    CGL4dqv* pViewport = getViewport();
    const int nDelta = pEvent->angleDelta().y();
    if (!pViewport || nDelta == 0) {
        QWidget::wheelEvent(pEvent);
        return;
    }
    // Turned away from the user, the wheel brings the head nearer.
    pViewport->addViewDistanceZ(static_cast<float>(-nDelta * nWheelStepMm / 120.0));
    update();
}

CSmoothMapWindow::CSmoothMapWindow(QWidget* pParent) : QWidget(pParent, Qt::Window) {
    setWindowTitle("Smooth field map");
    m_map.m_pMarkSelection = &m_bMarkSelection;

    auto* pLayout = new QVBoxLayout(this);
    auto* pRow = new QHBoxLayout;
    pRow->addWidget(new QLabel("Map", this));
    m_pKindBox = new QComboBox(this);
    for (const auto& [pszName, nKind] : aKindChoices)
        m_pKindBox->addItem(pszName, nKind);
    pRow->addWidget(m_pKindBox);
    pRow->addSpacing(12);
    pRow->addWidget(new QLabel("Colours", this));
    m_pColorBox = new QComboBox(this);
    m_pColorBox->addItems({"Thresholds", "Continuous"});
    // The smooth map is there to show the whole field; on the thresholds most of a real field is
    // one grey band.
    m_pColorBox->setCurrentIndex(1);
    pRow->addWidget(m_pColorBox);
    pRow->addSpacing(12);
    pRow->addWidget(new QLabel("Isolines", this));
    m_pIsolineSpin = new QSpinBox(this);
    m_pIsolineSpin->setRange(0, CSmoothFieldMap::nMaxIsolines);
    m_pIsolineSpin->setValue(CSmoothFieldMap::nDefaultIsolines);
    pRow->addWidget(m_pIsolineSpin);
    pRow->addStretch(1);
    pLayout->addLayout(pRow);
    m_pPicture = new CSmoothMapPicture(m_map, m_smooth, this);
    pLayout->addWidget(m_pPicture, 1);

    m_smooth.setIsolineCount(CSmoothFieldMap::nDefaultIsolines);
    m_smooth.setColorMode(CSmoothFieldMap::colorContinuous);
    connect(m_pKindBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int) { _reload(); });
    connect(m_pColorBox, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int nIndex) {
        m_smooth.setColorMode(nIndex == 1 ? CSmoothFieldMap::colorContinuous
                                          : CSmoothFieldMap::colorThresholds);
        _refresh();
    });
    connect(m_pIsolineSpin, qOverload<int>(&QSpinBox::valueChanged), this, [this](int nCount) {
        m_smooth.setIsolineCount(nCount);
        m_pPicture->update();
    });
    connect(m_pPicture, &CSmoothMapPicture::sensorPicked, this, &CSmoothMapWindow::sensorPicked);
    resize(520, 580);
}

SMapKinds::EMapKind CSmoothMapWindow::getKind() const {
    const int nIndex = std::clamp(m_pKindBox->currentIndex(), 0, 2);
    return aKindChoices[nIndex].second;
}

void CSmoothMapWindow::setRecording(CMEGDataqv* pRecording) {
    m_pRecording = pRecording;
    if (isVisible()) {
        _reload();
        return;
    }
    // Hidden, it lets go of the old recording at once and loads the new one when shown.
    m_map.setMegData(nullptr);
    m_bLoaded = false;
    m_bHasSurface = false;
}

void CSmoothMapWindow::selectionChanged(SMapKinds::EMapKind nKind) {
    if (!isVisible() || nKind != getKind() || !m_bLoaded)
        return;
    checkMapRange(m_map, nKind);
    _refresh();
}

void CSmoothMapWindow::currentChannelChanged() {
    if (!isVisible())
        return;
    _update(); // the mark moves
    m_pPicture->update();
}

void CSmoothMapWindow::_reload() {
    const SMapKinds::EMapKind nKind = getKind();
    m_bLoaded = m_pRecording && loadMapLikeView(m_map, m_pRecording, nKind) && m_map.m_pTrial;
    if (m_bLoaded)
        checkMapRange(m_map, nKind);
    _refresh();
}

void CSmoothMapWindow::_update() {
    m_bHasSurface = m_bLoaded && m_smooth.update(m_map, getKind());
}

void CSmoothMapWindow::_refresh() {
    _update();
    m_pPicture->setLoaded(m_bLoaded);
    emit colorBarChanged();
}

bool CSmoothMapWindow::getColorBar(CColorScale& scale, std::string& strUnit) const {
    if (!isVisible() || !m_bHasSurface)
        return false;
    scale = CColorScale::fromSmoothMap(m_smooth, m_map, getKind());
    strUnit = scaleUnit(m_pRecording, getKind());
    return true;
}

void CSmoothMapWindow::showEvent(QShowEvent* pEvent) {
    QWidget::showEvent(pEvent);
    // Selections may have changed while the window was hidden.
    _reload();
}

void CSmoothMapWindow::hideEvent(QHideEvent* pEvent) {
    QWidget::hideEvent(pEvent);
    emit colorBarChanged();
}
