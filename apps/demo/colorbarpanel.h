#pragma once

#include "colorscale.h"

#include <QWidget>

#include <string>

// The colour bars of the open maps, stacked from the top (time-domain, frequency, spectral,
// smooth field map), each with its map's title: a bar from the data minimum to the maximum in the
// colours the map gives those values, with the thresholds and extremes labelled. Hidden while no
// bar is shown.
class CColorBarPanel : public QWidget {
    Q_OBJECT
public:
    // The first three are the maps' kinds (CColorScale::EMapKind), so a kind names its bar.
    enum EBar {
        barTime = CColorScale::kindTime,
        barFrequency = CColorScale::kindFrequency,
        barSpectral = CColorScale::kindSpectral,
        barSmooth,
        nBars
    };

    explicit CColorBarPanel(QWidget* pParent = nullptr);

    // nBar outside EBar is ignored (no bar, an empty scale).
    void setBar(int nBar, const CColorScale& scale, const std::string& strUnit);
    void clearBar(int nBar);
    bool hasBar(int nBar) const { return _isBar(nBar) && m_aBars[nBar].bShown; }
    const CColorScale& getScale(int nBar) const;
    const std::string& getUnit(int nBar) const;
    // Where the bar itself is drawn, in the panel's coordinates; empty while it is not shown.
    QRect barRect(int nBar) const;

    static QString title(int nBar);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    struct SBar {
        bool bShown = false;
        CColorScale scale;
        std::string strUnit;
    };

    static bool _isBar(int nBar) { return nBar >= 0 && nBar < nBars; }
    // The part of the panel bar nBar takes: an equal share of the height per shown bar.
    QRect _sectionRect(int nBar) const;
    void _relayout();

    SBar m_aBars[nBars];
};
