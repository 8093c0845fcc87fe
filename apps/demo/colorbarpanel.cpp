#include "colorbarpanel.h"

#include "colorbarpainter.h"

#include <QPainter>

#include <algorithm>

namespace {

const int nSectionGap = 8;

} // namespace

CColorBarPanel::CColorBarPanel(QWidget* pParent) : QWidget(pParent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    setMinimumHeight(120);
    hide();
}

QString CColorBarPanel::title(CColorScale::EMapKind nKind) {
    switch (nKind) {
    case CColorScale::kindFrequency:
        return "Frequency map";
    case CColorScale::kindSpectral:
        return "Spectral map";
    default:
        return "Time-domain map";
    }
}

void CColorBarPanel::setBar(CColorScale::EMapKind nKind, const CColorScale& scale,
                            const std::string& strUnit) {
    SBar& bar = m_aBars[nKind];
    bar.bShown = true;
    bar.scale = scale;
    bar.strUnit = strUnit;
    _relayout();
}

void CColorBarPanel::clearBar(CColorScale::EMapKind nKind) {
    m_aBars[nKind].bShown = false;
    _relayout();
}

void CColorBarPanel::_relayout() {
    int nWidth = 0;
    for (const SBar& bar : m_aBars) {
        if (bar.bShown) {
            nWidth = std::max(nWidth, colorBarPanelWidth(bar.strUnit, font(), 150));
        }
    }
    if (nWidth == 0) {
        hide();
        return;
    }
    setFixedWidth(nWidth);
    show();
    update();
}

QRect CColorBarPanel::_sectionRect(CColorScale::EMapKind nKind) const {
    if (!m_aBars[nKind].bShown) {
        return QRect();
    }
    int nShown = 0, nBefore = 0;
    for (int k = 0; k < nBars; ++k) {
        if (m_aBars[k].bShown) {
            nBefore += k < nKind ? 1 : 0;
            ++nShown;
        }
    }
    const int nHeight = (height() - (nShown - 1) * nSectionGap) / nShown;
    return QRect(0, nBefore * (nHeight + nSectionGap), width(), nHeight);
}

QRect CColorBarPanel::barRect(CColorScale::EMapKind nKind) const {
    const QRect section = _sectionRect(nKind);
    return section.isEmpty() ? QRect() : colorBarRect(section, font(), true);
}

void CColorBarPanel::paintEvent(QPaintEvent* /*pEvent*/) {
    QPainter painter(this);
    SColorBarStyle style;
    style.font = font();
    style.background = palette().color(QPalette::Window);
    style.text = palette().color(QPalette::WindowText);
    for (int k = 0; k < nBars; ++k) {
        const auto nKind = static_cast<CColorScale::EMapKind>(k);
        const QRect section = _sectionRect(nKind);
        if (!section.isEmpty()) {
            paintColorBar(painter, section, m_aBars[k].scale, m_aBars[k].strUnit, title(nKind),
                          style);
        }
    }
}
