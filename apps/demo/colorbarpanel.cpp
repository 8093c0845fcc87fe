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

QString CColorBarPanel::title(int nBar) {
    switch (nBar) {
    case barFrequency:
        return "Frequency map";
    case barSpectral:
        return "Spectral map";
    case barSmooth:
        return "Smooth field map";
    default:
        return "Time-domain map";
    }
}

void CColorBarPanel::setBar(int nBar, const CColorScale& scale, const std::string& strUnit) {
    if (!_isBar(nBar)) {
        return;
    }
    SBar& bar = m_aBars[nBar];
    bar.bShown = true;
    bar.scale = scale;
    bar.strUnit = strUnit;
    _relayout();
}

void CColorBarPanel::clearBar(int nBar) {
    if (!_isBar(nBar)) {
        return;
    }
    m_aBars[nBar].bShown = false;
    _relayout();
}

const CColorScale& CColorBarPanel::getScale(int nBar) const {
    static const CColorScale s_none;
    return _isBar(nBar) ? m_aBars[nBar].scale : s_none;
}

const std::string& CColorBarPanel::getUnit(int nBar) const {
    static const std::string s_none;
    return _isBar(nBar) ? m_aBars[nBar].strUnit : s_none;
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

QRect CColorBarPanel::_sectionRect(int nBar) const {
    if (!hasBar(nBar)) {
        return QRect();
    }
    int nShown = 0, nBefore = 0;
    for (int k = 0; k < nBars; ++k) {
        if (m_aBars[k].bShown) {
            nBefore += k < nBar ? 1 : 0;
            ++nShown;
        }
    }
    const int nHeight = (height() - (nShown - 1) * nSectionGap) / nShown;
    return QRect(0, nBefore * (nHeight + nSectionGap), width(), nHeight);
}

QRect CColorBarPanel::barRect(int nBar) const {
    const QRect section = _sectionRect(nBar);
    return section.isEmpty() ? QRect() : colorBarRect(section, font(), true);
}

void CColorBarPanel::paintEvent(QPaintEvent* /*pEvent*/) {
    QPainter painter(this);
    SColorBarStyle style;
    style.font = font();
    style.background = palette().color(QPalette::Window);
    style.text = palette().color(QPalette::WindowText);
    for (int k = 0; k < nBars; ++k) {
        const QRect section = _sectionRect(k);
        if (!section.isEmpty()) {
            paintColorBar(painter, section, m_aBars[k].scale, m_aBars[k].strUnit, title(k), style);
        }
    }
}
